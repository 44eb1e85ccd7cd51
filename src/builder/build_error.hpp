#pragma once
// The errors that end a build, with the sentences the user sees.
#include <string>

#include "platform/error.hpp"

namespace lf::builder {

class BuildError : public Error {
public:
    enum class Case { sameFolder, empty, item };

    // "The gallery folder must be different from the pictures folder."
    static BuildError sameFolder();
    // "No pictures, movies or sounds were found in the folder."
    static BuildError empty();
    // "Couldn’t process “name”: " followed by the message of the item's error.
    static BuildError item(const std::string& name, const std::string& message);

    Case kind() const { return kind_; }

private:
    BuildError(Case kind, const std::string& message) : Error(message), kind_(kind) {}
    Case kind_;
};

}  // namespace lf::builder
