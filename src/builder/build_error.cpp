#include "builder/build_error.hpp"

namespace lf::builder {

BuildError BuildError::sameFolder() {
    return BuildError(Case::sameFolder, "The gallery folder must be different from the pictures folder.");
}

BuildError BuildError::empty() {
    return BuildError(Case::empty, "No pictures, movies or sounds were found in the folder.");
}

BuildError BuildError::item(const std::string& name, const std::string& message) {
    return BuildError(Case::item, "Couldn’t process “" + name + "”: " + message);
}

}  // namespace lf::builder
