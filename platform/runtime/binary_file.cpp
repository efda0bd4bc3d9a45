#include "platform/runtime/binary_file.h"

// The buffering of BinaryFile, the same on both systems; its system's half writes.
namespace runtime {

void BinaryFile::write(std::span<const std::byte> bytes)
{
    if (m_buffer.size() + bytes.size() > kWriteBufferSize)
        flush();
    if (bytes.size() >= kWriteBufferSize) {
        m_buffer.assign(bytes.begin(), bytes.end());
        flush();
        return;
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
}

void BinaryFile::flush()
{
    // What failed to go is dropped with the error: it would fail again, and a later flush (the
    // destructor's) must not write it behind what the caller does after the error.
    std::vector<std::byte> pending;
    pending.swap(m_buffer);
    std::span<const std::byte> left(pending);
    while (!left.empty()) {
        const std::size_t written = writeOnce(left);
        left = left.subspan(written);
        m_position += static_cast<std::int64_t>(written);
    }
    pending.clear();
    m_buffer.swap(pending);  // keeps the buffer's room
}

}  // namespace runtime
