#include "command/console.h"

#include <ostream>

namespace x91::cli {

void Console::problem(const std::string& file, const std::string& reason) const {
    *errors << "x91: " << file << ": " << reason << std::endl;
}

void Console::warning(const std::string& file, const std::string& reason) const {
    *errors << "x91: " << file << ": warning: " << reason << std::endl;
}

void Console::report(const std::string& in, const std::string& out,
                     const ConversionResult& conversion) const {
    const Result& r = conversion.result;
    if (r) {
        if (!conversion.warning.empty()) warning(in, conversion.warning);
        return;
    }
    const std::string& file = r.status == Status::write_failed ? out : in;
    if (conversion.output_kept) {
        warning(file, r.message);
    } else {
        problem(file, r.message);
    }
}

bool check_passed(const Result& check) {
    return check.ok() || check.status == Status::no_extension ||
           check.status == Status::extension_unknown;
}

std::string check_verdict(const Result& check) {
    switch (check.status) {
        case Status::ok:
            return "ok";
        case Status::no_extension:
            return "ok (no checksum)";
        case Status::extension_unknown:
            return "ok (no checksum: " + check.message + ")";
        case Status::not_x91:
        case Status::read_failed:
        case Status::out_of_memory:
            return "unreadable: " + check.message;
        default:
            return "damaged: " + check.message;
    }
}

}  // namespace x91::cli
