#pragma once

#include <QObject>
#include <QString>

// The values that travel over the updater link, one integer per message. The client
// and the updater both take them from here, so neither side can drift from the other.
namespace updater_link {
Q_NAMESPACE

enum UpdateMessageType {
  kNoNeedToUpdate = 0,    // updater -> client: start normally
  kInstallNow = 1,        // updater -> client: answer kClientExited and end
  kClientExited = 2,      // client -> updater: run the installation
  kUpdateReady = 3,       // updater -> client: ask for the dialog when allowed
  kShowUpdateDialog = 4,  // client -> updater: show the update dialog
};
Q_ENUM_NS(UpdateMessageType)

// The key of a value ("kInstallNow"), or "unknown (<value>)" for a value outside
// UpdateMessageType: the link carries any integer, and a value without a key must still
// be readable in a log line.
QString KeyOf(int message);

}  // namespace updater_link
