// Loads the interface translation as the client does and prints a few texts, one per
// line: the main window's "Unconnected tip", the connecting page's title, the quit
// question.
#include <cstdio>

#include <QCoreApplication>

#include "client/translate.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Translate();
  for (const auto& [context, text] : {std::pair{"Castora", "Unconnected tip"}, std::pair{"ConnectPage", "Device connecting"},
                                      std::pair{"CloseDialog", "QuitTips"}})
    std::printf("%s\n", QCoreApplication::translate(context, text).toUtf8().constData());
  std::fflush(stdout);
  return 0;
}
