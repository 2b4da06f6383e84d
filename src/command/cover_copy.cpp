#include "command/cover_copy.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "command/io_failure.h"
#include "command/output.h"

namespace x91::cli {

Result copy_cover(const std::string& in, const std::string& out) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> source(std::fopen(in.c_str(), "rb"),
                                                                 std::fclose);
    if (!source) return io_failure(Status::read_failed, "cannot read", errno);
    Output output;
    if (Result opened = output.open(out); !opened) return opened;
    std::vector<char> piece(1 << 16);
    for (;;) {
        const std::size_t got = std::fread(piece.data(), 1, piece.size(), source.get());
        if (got > 0 && std::fwrite(piece.data(), 1, got, output.stream()) != got)
            return io_failure(Status::write_failed, "cannot write", errno);
        if (got < piece.size()) break;
    }
    if (std::ferror(source.get())) return io_failure(Status::read_failed, "cannot read", errno);
    return output.commit();
}

}  // namespace x91::cli
