// Seekable byte streams over C stdio files: FileReader and FileWriter.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "storage/storage_stream.h"

namespace x91 {

// The part FileReader and FileWriter share: the stdio stream, its position
// and its failure state. Failure is sticky: after the first failed open,
// short read, failed write, flush or seek, the object stays failed, every
// position reads -1 and further transfers move nothing. The position is
// tracked here rather than asked of the stream, so possition() also works
// on streams that cannot seek.
class FileSpace : public virtual StorageSpace {
  public:
    std::int64_t possition() override;
    std::int64_t seek(std::int64_t pos) override;
    std::int64_t size() override;

    bool operator!() const { return failed_; }
    // Non-null while the stream has not failed: the condition of read loops.
    operator void*() const { return failed_ ? nullptr : const_cast<FileSpace*>(this); }

    // errno of the first failure, 0 if none or if it was the end of the file.
    int error() const { return error_; }

  protected:
    // Takes a stream just opened (owned) or lent by the caller; a null stream
    // leaves the object failed, with errno of the open when it was owned.
    FileSpace(std::FILE* file, bool owns);
    ~FileSpace() = default;

    void fail(int err);

    std::FILE* file_ = nullptr;
    bool owns_ = false;
    // Set when bytes were taken from the stream before it was handed over:
    // they are no longer in it to seek back to.
    bool seek_refused_ = false;
    bool failed_ = false;
    int error_ = 0;
    std::int64_t pos_ = 0;
};

class FileReader final : public StorageReader, public FileSpace {
  public:
    // Opens name for reading raw bytes; a failed open leaves the reader
    // failed, and so does a directory (EISDIR).
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

    // True when seek() and size() can work: a regular file, not a pipe,
    // terminal or device, and no bytes were taken from it before this reader
    // got it. Asking does not fail the reader.
    bool seekable() const;

    // Copies up to n of the next bytes into buf without moving past them;
    // fewer only at the end of the input, which does not fail the reader
    // (a read error does).
    int peek(char* buf, int n);

    // Moves forward n bytes, or to the end when fewer are left, and returns
    // the count passed over; less than n fails the reader, like a short
    // read. Seeks where the stream allows it and reads through pipes, so a
    // file is never read just to be passed over.
    std::int64_t skip(std::int64_t n);

    // True when no byte is left to read, or the reader has failed (a read
    // error found here fails it). On a pipe this waits for the next byte or
    // the end of the stream.
    bool at_end();

    // Keeps a copy of every byte read from now on, up to limit bytes, so
    // that a stream that cannot go back can be handed to another reader from
    // where the copy began. Beyond the limit the copy is dropped.
    void keep_reads(std::size_t limit);
    // The copy, or null when the limit was passed; keeping stops here.
    const std::string* stop_keeping();

  private:
    int read_through(char* buf, int n);

    std::string taken_;  // bytes delivered again before the stream's own
    std::size_t taken_next_ = 0;
    bool keeping_ = false;
    bool kept_whole_ = true;
    std::size_t keep_limit_ = 0;
    std::string kept_;
};

class FileWriter final : public StorageWriter, public FileSpace {
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

    // Flushes and closes; true only if every write, seek, flush and the close
    // itself succeeded. A full disk often shows only here, when buffered data
    // is finally handed to the system. Later calls return the same result.
    bool close();
};

}  // namespace x91
