#pragma once

#include <QMetaType>

// How the receiver shows this computer: made by the function page, passed unchanged by
// the main window and the Controller as the video session's play mode.
enum MirrorType : int {
  kJoinScreenMirror = 0,    // this device shares the receiver's screen with others
  kSingleScreenMirror = 1,  // this device fills the receiver's screen
};

Q_DECLARE_METATYPE(MirrorType)
