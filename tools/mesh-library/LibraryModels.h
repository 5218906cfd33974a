#pragma once

#include <string>
#include <vector>

#include "scene/layers/mesh/ThreeDSFile.h"

namespace korvane::meshlibrary {

struct LibraryModel {
    std::string name;  // the library file's name, which the library shows
    ThreeDSFile contents;
};

// The objects shipped in the library: a cabin, a fir tree, a boulder, a fence and a rowing boat,
// each modelled to real proportions in metres (the import fits them to the unit cube anyway).
std::vector<LibraryModel> libraryModels();

}  // namespace korvane::meshlibrary
