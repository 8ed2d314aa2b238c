// The picture of the example's scene: the section through the source with the incident,
// reflected and transmitted rays, and beside it the shares of the energy by angle of incidence
// from wavelib2's results with the closed form over them.
#pragma once

#include <string>

#include "examples/wave_split/scene.h"

namespace wave_split {

// Draws the picture into a PNG file without a display. False with a UTF-8 message when the file
// cannot be written or the program was built without the toolkit that draws.
bool drawPicture(const SceneResult& scene, const std::string& fileName, std::string& error);

}  // namespace wave_split
