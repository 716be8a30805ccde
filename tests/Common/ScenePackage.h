#ifndef KESTREL_TESTS_COMMON_SCENEPACKAGE_H
#define KESTREL_TESTS_COMMON_SCENEPACKAGE_H

// Small scene packages for the tests that play runs on them, written with the content builder's
// own writer, and the files they go into.

#include <cstdint>
#include <string>

#include "KbBytes.h"

namespace fx {

// Writes the bytes to aPath (the folder must exist); false when the file cannot be written whole.
bool WriteFile(const std::string &aPath, const kbBytes &aData);
// A scene package of aFrameCnt frames at 30 fps with nothing in it; a failed write fails the test.
kbBytes SceneFile(uint16_t aFrameCnt);
// A package that reads whole but whose scene cannot be built: its light's key runs step past the
// light's key table.
kbBytes UnbuildableSceneFile(uint16_t aFrameCnt);

} // namespace fx

#endif
