// The probe file format (docs/probe_file_format.md): a file header, then framed records. This
// part knows the bytes only; probe_file_cache.h does the file system work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "abi/probe_record.h"
#include "suite/probestore/probe_file_format.h"
#include "suite/probestore/text_store.h"

namespace probestore {

// The file header as the writer emits it (version 1.0, no extensions).
std::vector<std::uint8_t> encodeFileHeader();
// A frame (header and payload) around one encoded record.
std::vector<std::uint8_t> encodeFrame(const std::vector<std::uint8_t>& payload);

// The record's fields in file order: plain fields little-endian, texts and lines as counted
// cp1251 bytes, the five reserved ranges raw. Empty when the result would exceed
// kMaxPayloadSize. When `texts` is given, a list is never read past the array it created.
// Throws std::bad_alloc.
std::vector<std::uint8_t> encodeRecord(const ProbeRecord& record, const TextStore* texts = nullptr);

// Fills `out` (zero-filled first, so it must hold no texts) from a payload; texts and lists are
// created in `texts`. On failure everything created is released again and `out` is zero-filled.
// Bytes after the last field this version knows (a later minor version's fields) go to
// `trailing` when it is given, and are skipped otherwise.
bool decodeRecord(const std::uint8_t* payload, std::size_t size, TextStore& texts, ProbeRecord& out,
                  std::vector<std::uint8_t>* trailing = nullptr);

// Whether the kFrameHeaderSize bytes at `header` are a frame header: magic and own checksum hold.
bool frameHeaderIntact(const std::uint8_t* header);

// Random access to the bytes of a probe file. The pointer `view` returns stays valid until the
// next call; null when [offset, offset + size) is not inside the file or cannot be read.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    virtual const std::uint8_t* view(std::uint64_t offset, std::size_t size) = 0;
    // The first offset at or after `offset` that may hold data: a sparse file's holes need not
    // be read. `offset` itself where the source cannot tell.
    virtual std::uint64_t dataFrom(std::uint64_t offset) { return offset; }
};

class MemorySource : public ByteSource {
  public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t size() const override { return size_; }
    const std::uint8_t* view(std::uint64_t offset, std::size_t size) override;

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// One record of a file: where its frame starts and, when it is whole, its payload length.
// A damaged stretch of the file counts as one record that cannot be loaded.
struct RecordEntry {
    std::uint64_t offset = 0;
    std::uint32_t payloadSize = 0;
    bool damaged = false;
};

// Where the records start, or 0 when the source is not a probe file this reader understands.
std::uint64_t readFileHeader(ByteSource& source);
// Whether a writer of this version may append to a file with this header.
bool headerAcceptsAppend(ByteSource& source);
// Whether the file is what a crash can leave of a new file's header before it reached the disk
// whole: no longer than the header, each byte either the header's or still zero. Nothing was
// acknowledged in such a file (a new file's header is synced before its first record is
// written), so a writer begins it again; any other file without a valid header is left alone.
bool unfinishedHeader(const std::uint8_t* bytes, std::uint64_t size);
// The records of a probe file in file order; false when it is not a probe file.
bool scanRecords(ByteSource& source, std::vector<RecordEntry>& entries);
enum class LoadResult {
    kLoaded,
    kFailed,  // a damaged stretch, a payload whose checksum or fields are wrong
    kMoved,   // no frame of the indexed size starts there any more: the file has changed
};
// Reads the frame of a whole entry again, checks its header and payload checksum and decodes the
// payload into `out`.
LoadResult loadFrame(ByteSource& source, const RecordEntry& entry, TextStore& texts,
                     ProbeRecord& out, std::vector<std::uint8_t>* trailing = nullptr);
// loadFrame, loaded or not.
bool loadEntry(ByteSource& source, const RecordEntry& entry, TextStore& texts, ProbeRecord& out);

}  // namespace probestore
