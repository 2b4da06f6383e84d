// Seekable byte streams over C stdio files: FileReader and FileWriter.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "storage/storage_stream.h"

namespace x91 {

// Failure is sticky: after the first failed open, short read, failed write,
// flush or seek, the object stays failed, every position reads -1 and further
// transfers move nothing. Both classes track the position themselves, so
// possition() also works on streams that cannot seek.
class FileReader final : public StorageReader {
  public:
    // Opens name for reading raw bytes; a failed open leaves the reader failed.
    explicit FileReader(const char* name);
    // Reads from an already open stream (for example standard input); the
    // stream is not closed by this reader.
    explicit FileReader(std::FILE* stream);
    // The same for a stream whose first n bytes were already taken from it
    // (to see what it holds): they are delivered again before the rest.
    FileReader(std::FILE* stream, const char* taken, int n);
    ~FileReader();

    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    int read(char* buf, int n) override;
    std::int64_t possition() override;
    std::int64_t seek(std::int64_t pos) override;
    std::int64_t size() override;

    bool operator!() const { return failed_; }
    // Non-null while the reader has not failed: the condition of read loops.
    operator void*() const { return failed_ ? nullptr : const_cast<FileReader*>(this); }

    // errno of the first failure, 0 if none or if it was the end of the file.
    int error() const { return error_; }

    // True when seek() and size() can work: a file, not a pipe or terminal,
    // and no bytes were taken from it before this reader got it. Asking does
    // not fail the reader.
    bool seekable() const;

    // Reads and drops up to n bytes (skips forward without seeking); returns
    // the count dropped, less than n only at the end or on failure.
    std::int64_t skip(std::int64_t n);

  private:
    void fail(int err);

    std::FILE* file_ = nullptr;
    bool owns_ = false;
    std::string taken_;  // bytes delivered again before the stream's own
    std::size_t taken_next_ = 0;
    bool had_taken_ = false;
    bool failed_ = false;
    int error_ = 0;
    std::int64_t pos_ = 0;
};

class FileWriter final : public StorageWriter {
  public:
    // Creates name, or truncates it if it exists; a failed open leaves the
    // writer failed.
    explicit FileWriter(const char* name);
    // Writes to an already open stream (for example standard output); close()
    // flushes it but does not close it.
    explicit FileWriter(std::FILE* stream);
    // Closes the file if close() has not run; its result is then lost, so
    // callers that care call close() themselves.
    ~FileWriter();

    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    int write(const char* buf, int n) override;
    std::int64_t possition() override;
    std::int64_t seek(std::int64_t pos) override;
    std::int64_t size() override;

    // Flushes and closes; true only if every write, seek, flush and the close
    // itself succeeded. A full disk often shows only here, when buffered data
    // is finally handed to the system. Later calls return the same result.
    bool close();

    bool operator!() const { return failed_; }
    operator void*() const { return failed_ ? nullptr : const_cast<FileWriter*>(this); }

    // errno of the first failure, 0 if none.
    int error() const { return error_; }

  private:
    void fail(int err);

    std::FILE* file_ = nullptr;
    bool owns_ = false;
    bool failed_ = false;
    int error_ = 0;
    std::int64_t pos_ = 0;
};

}  // namespace x91
