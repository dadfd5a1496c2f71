// The client program: one instance per user, the updater link, the interface
// language, the main window, then the event loop.
#include <QApplication>
#include <QFont>

#include "client/controller_factory.h"
#include "client/translate.h"
#include "client/ui/castora.h"
#include "client/update.h"
#include "platform/audio/audio_system.h"
#include "utils/logger.h"
#include "utils/quit_on_signals.h"
#include "utils/single_application.h"

namespace {
const char* const kLogTag = "CASTORA::main";
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("Castora"));
  // A second start hands over to the first instance and ends here (status 255).
  utils::SingleApplication app(argc, argv, true);
  // Logout, `kill` and Ctrl-C quit like the Quit action: the teardown below stops a
  // share and gives the local sound back. A signal during the start-up is kept until
  // the loop would start.
  utils::QuitOnSignals quit_on_signals;
  zorvax::utils::logger::Init("Castora");
  LOG_INFO("Castora starts, pid {}", QCoreApplication::applicationPid());
  if (!app.listen_error().isEmpty())
    LOG_ERROR("Single instance server {} not listening: {}", app.server_address().toStdString(),
              app.listen_error().toStdString());
  QObject::connect(&quit_on_signals, &utils::QuitOnSignals::Quitting,
                   [](int signal_number) { LOG_INFO("Signal {} received, quitting", signal_number); });
  // A run that was killed while sharing left the local output muted (its sound diverted
  // to a stand-in); this user's only instance gives it back before anything else.
  platform::audio::SharedAudioSystem()->RecoverOutput();
  // Closing or hiding the window leaves the program in the tray; only a quit ends it.
  QApplication::setQuitOnLastWindowClosed(false);

  // An updater that orders an installation ends the process inside the wait.
  Update update;
  update.StartUpdater();
  update.WaitForMessage();

  QFont font = QApplication::font();
  font.setFamily(QStringLiteral("Microsoft YaHei"));
  QApplication::setFont(font);

  Translate();

  int result = 0;
  {
    Castora window(MakeController);
    app.SetActivationWindow(&window);
    app.installNativeEventFilter(&window);
    update.SetMainWindow(&window);
    window.show();
    if (!quit_on_signals.Received()) result = QApplication::exec();
    app.removeNativeEventFilter(&window);
  }
  LOG_INFO("Castora ends with {}", result);
  return result;
}
