// The picture where the program is built without Qt (the cross builds for Windows): there is
// nothing to draw with, and the program says so.
#include "examples/wave_split/picture.h"

namespace wave_split {

bool drawPicture(const SceneResult&, const std::string&, std::string& error) {
    error = "программа собрана без Qt: рисовать картинку нечем";
    return false;
}

}  // namespace wave_split
