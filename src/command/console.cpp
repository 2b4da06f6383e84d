#include "command/console.h"

#include <iostream>

namespace x91::cli {

Console Console::standard() {
    return Console{&std::cout, &std::cerr};
}

void Console::problem(const std::string& file, const std::string& reason) const {
    *errors << "x91: " << file << ": " << reason << std::endl;
}

void Console::warning(const std::string& file, const std::string& reason) const {
    *errors << "x91: " << file << ": warning: " << reason << std::endl;
}

}  // namespace x91::cli
