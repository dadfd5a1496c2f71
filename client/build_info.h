#pragma once

#include <QString>

// The texts of the About panel, from the build. The commit and the time are taken
// while building, not when the build was configured: each build that changes the
// program, or a build after the checkout moved to another commit, renews them, and a
// build that changes nothing leaves them (and every link) as they are.
QString AppVersion();    // "R." and the project version, e.g. "R.2.3.1.18"
QString AppCommitId();   // the first 6 characters of the commit hash; "Unknown" without one
QString AppBuildTime();  // "2019-4-12 09:05:33" (UTC): date without leading zeros, then hh:mm:ss
