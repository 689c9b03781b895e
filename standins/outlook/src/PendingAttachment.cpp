#include "PendingAttachment.h"

#include "Dispatch.h"
#include "PropertyValues.h"
#include "framework/Handles.h"

#include <windows.h>

#include <algorithm>
#include <mutex>

namespace outlook {

namespace {

AutomationError unreadable(const std::wstring& shownPath) {
    return AutomationError{L"Cannot add the attachment; the file " + shownPath + L" could not be read.",
                           E_ACCESSDENIED};
}

// Buffers for large attachments' bytes, given back when the store has
// written them and handed out again: memory fresh from the system costs a
// fault and a page of zeros for every 4 KB, more than reading the file.
class BufferPool {
public:
    std::shared_ptr<uint8_t[]> take(size_t size) {
        // Small ones come from the heap, which reuses its memory itself.
        if (size < kGrain)
            return std::shared_ptr<uint8_t[]>(new uint8_t[std::max<size_t>(size, 1)]);
        const size_t room = (size + kGrain - 1) / kGrain * kGrain;
        std::lock_guard<std::mutex> hold(lock_);
        for (auto it = free_.begin(); it != free_.end(); ++it) {
            if (it->second >= room) {
                const size_t have = it->second;
                std::unique_ptr<uint8_t[]> buffer = std::move(it->first);
                held_ -= have;
                free_.erase(it);
                return wrap(std::move(buffer), have);
            }
        }
        return wrap(std::unique_ptr<uint8_t[]>(new uint8_t[room]), room);
    }

private:
    static constexpr size_t kGrain = 256 * 1024;
    static constexpr size_t kMostKept = 64u << 20;
    std::mutex lock_;
    std::vector<std::pair<std::unique_ptr<uint8_t[]>, size_t>> free_;
    size_t held_ = 0;

    std::shared_ptr<uint8_t[]> wrap(std::unique_ptr<uint8_t[]> buffer, size_t room) {
        return std::shared_ptr<uint8_t[]>(buffer.release(), [this, room](uint8_t* p) { giveBack(p, room); });
    }
    void giveBack(uint8_t* p, size_t room) {
        std::unique_ptr<uint8_t[]> buffer(p);
        std::lock_guard<std::mutex> hold(lock_);
        if (held_ + room > kMostKept)
            return;
        held_ += room;
        free_.emplace_back(std::move(buffer), room);
    }
};

BufferPool& bufferPool() {
    static BufferPool* pool = new BufferPool; // lives as long as the module's last buffer
    return *pool;
}

// The whole file in one buffer, read in a few large pieces.
std::shared_ptr<const uint8_t[]> readWhole(HANDLE file, uint64_t size, const std::wstring& shownPath) {
    // Not cleared first: every byte is read over.
    std::shared_ptr<uint8_t[]> bytes = bufferPool().take(static_cast<size_t>(size));
    constexpr DWORD kPiece = 8u << 20;
    for (uint64_t done = 0; done < size;) {
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>(kPiece, size - done));
        DWORD got = 0;
        if (!ReadFile(file, bytes.get() + done, want, &got, nullptr) || got == 0)
            throw unreadable(shownPath);
        done += got;
    }
    return bytes;
}

} // namespace

PendingAttachment::PendingAttachment(const std::wstring& fullPath, const std::wstring& shownPath,
                                     uint64_t roomToHold) {
    const size_t slash = fullPath.find_last_of(L"\\/");
    fileName_ = slash == std::wstring::npos ? fullPath : fullPath.substr(slash + 1);
    tw::UniqueHandle file(CreateFileW(fullPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size))
        throw unreadable(shownPath);
    if (static_cast<uint64_t>(size.QuadPart) <= roomToHold) {
        size_ = static_cast<uint64_t>(size.QuadPart);
        bytes_ = readWhole(file.get(), size_, shownPath);
        return;
    }
    // Larger files: a copy of our own, streamed into the store at the save.
    wchar_t tempDir[MAX_PATH] = L"", copy[MAX_PATH] = L"";
    if (!GetTempPathW(MAX_PATH, tempDir) || !GetTempFileNameW(tempDir, L"twa", 0, copy))
        throw AutomationError{L"Cannot add the attachment: no temporary file.", E_FAIL};
    if (!CopyFileW(fullPath.c_str(), copy, FALSE)) {
        DeleteFileW(copy);
        throw unreadable(shownPath);
    }
    copy_ = copy;
}

PendingAttachment::PendingAttachment(PendingAttachment&& o) noexcept
    : fileName_(std::move(o.fileName_)), bytes_(std::move(o.bytes_)), size_(o.size_), copy_(std::move(o.copy_)) {
    o.copy_.clear();
}

PendingAttachment::~PendingAttachment() {
    if (!copy_.empty())
        DeleteFileW(copy_.c_str());
}

pst::NewAttachment PendingAttachment::forStore() const {
    pst::NewAttachment a;
    a.fileName = utf8(fileName_);
    if (bytes_) {
        a.sharedData = bytes_;
        a.sharedSize = size_;
    }
    else
        a.sourcePath = utf8(copy_);
    return a;
}

void keepInSecureTemp(const std::wstring& folder, const std::wstring& fullPath, const std::wstring& name) {
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring target = folder + name;
    const size_t dot = name.find_last_of(L'.');
    for (int n = 2; GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES && n < 1000; ++n)
        target = folder + (dot == std::wstring::npos ? name : name.substr(0, dot)) + L" (" + std::to_wstring(n) +
                 L")" + (dot == std::wstring::npos ? L"" : name.substr(dot));
    if (!CreateHardLinkW(target.c_str(), fullPath.c_str(), nullptr))
        CopyFileW(fullPath.c_str(), target.c_str(), TRUE);
}

} // namespace outlook
