#pragma once

#include <pulse/pulseaudio.h>

#include <string>

namespace platform::audio {

// The diversion's policy, apart from the connection that carries it out.
//
// What is moved. One stand-in serves the whole share, whichever output the user has:
// a null sink freshly loaded renders its first seconds as one block, so a new one at
// every pick would lose that much sound. At the start the streams of the user's
// output move onto the stand-in before it becomes the default (so they stay with it),
// and new streams land on it as the default. While diverted, only streams that play on
// the user's output (played there by name or moved there in a mixer) are caught; a
// stream on another output is neither silenced nor sent, and one the user moves off
// the stand-in stays where it was put. A stream caught that way remembers its output:
// when the user picks another one it goes back there (that output is no longer the
// muted one), and at the end it goes back there too. Every other stream of the stand-in
// goes to the user's output at the end, with the default given back first.
//
// The volume. The stand-in reads as the user's output to the desk: unmuted, with the
// output's volume (flat, at the loudest channel's), so that a desk's volume key steps
// from the output's level and its indicator shows it. The two are kept equal both
// ways: a change of the stand-in (a key) goes to the output, its balance kept, and a
// change of the output goes to the stand-in. The monitor carries the stand-in's volume,
// so the capture's samples are scaled back by the monitor gain: the capture hears the
// stand-in as at full volume and scales by the output's volume itself.
//
// What a recovery needs. The stand-in's properties name the output it was loaded for,
// and cannot change; the output the user has now is kept in a small file that the
// stand-in names by a token (DiversionRecord), written before each change of the output.
// A run that finds a stand-in left behind gives the default and the streams to the
// output the record names, else to the one the properties name.

// Which way the two volumes are made equal, from their loudest channels now and the
// level both had when they were last made equal. A key wins over a change of the
// output at the same moment: the desk shows the stand-in's.
enum class VolumeSync { kNone, kStandInToOutput, kOutputToStandIn };
VolumeSync DecideVolumeSync(pa_volume_t stand_in, pa_volume_t output, pa_volume_t synced);

// The factor that gives the stand-in's monitor back at full volume (a monitor carries
// its sink's volume, on PipeWire's PulseAudio server too); 0 for a stand-in at zero,
// which has nothing to give back.
float StandInMonitorGain(pa_volume_t stand_in);

// The small file that says which output a stand-in stands in for now. Kept in the
// user's runtime folder ($XDG_RUNTIME_DIR, else ~/.cache/castora), named by a token
// that the stand-in carries in its properties; at most one line, the output's name.
class DiversionRecord {
 public:
  // A new random token, of hex digits only.
  static std::string NewToken();
  static bool ValidToken(const std::string& token);
  // Replaces the record at once (written aside, then renamed), so that a kill at any
  // moment leaves the old output or the new one. False when there is no folder.
  static bool Write(const std::string& token, const std::string& output);
  // The output recorded under the token; false without a record (or an unusable one).
  static bool Read(const std::string& token, std::string* output);
  static void Remove(const std::string& token);

 private:
  static std::string Folder();
  static std::string Path(const std::string& token);
};

}  // namespace platform::audio
