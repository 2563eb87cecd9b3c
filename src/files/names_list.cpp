#include "files/names_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "link/text_encoding.h"

namespace stanset {

namespace fs = std::filesystem;

namespace {

struct NamesFileInfo {
    const char* name;
    int created;  // entries of a newly created file
};

// Slots in the order the files are read; the group books take slots 5 to 24.
constexpr int kGroupBookSlot = 5;
constexpr NamesFileInfo kFixedFiles[] = {
    {"port.nms", 150}, {"ggs.nms", 10},      {"df.nms", 10},   {"group.nms", 60},
    {"global_ext_num.nms", 30}, {"naveden.nms", 100}, {"conf.nms", 60},
};
constexpr int kGroupBookEntries = 20;

std::string FileName(int slot) {
    if (slot < kGroupBookSlot) return kFixedFiles[slot].name;
    if (slot < kGroupBookSlot + TNamesList::kGroupBooks)
        return "group_ext_num" + std::to_string(slot - kGroupBookSlot) + ".nms";
    return kFixedFiles[slot - TNamesList::kGroupBooks].name;
}

int CreatedEntries(int slot) {
    if (slot < kGroupBookSlot) return kFixedFiles[slot].created;
    if (slot < kGroupBookSlot + TNamesList::kGroupBooks) return kGroupBookEntries;
    return kFixedFiles[slot - TNamesList::kGroupBooks].created;
}

// A names file is a few kilobytes; anything far larger is not one, and is left alone
// rather than read into memory and later rewritten cut short.
constexpr std::size_t kMaxFileBytes = 1 << 20;

// The whole of a regular file, or false. Opened without blocking, so that a FIFO or a
// device put in a file's place cannot stall the start.
bool ReadRegularFile(const std::string& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    bytes.clear();
    char buf[8192];
    while (ok) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
        } else if (bytes.size() + static_cast<std::size_t>(n) > kMaxFileBytes) {
            ok = false;
        } else {
            bytes.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return ok;
}

// CR LF and a lone LF end a line, byte 26 ends the file, and a last line without its
// line end still counts.
std::vector<std::string> SplitLines(std::string_view bytes) {
    if (const auto eof = bytes.find('\x1a'); eof != std::string_view::npos) bytes = bytes.substr(0, eof);
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const auto lf = bytes.find('\n');
        std::string_view line = bytes.substr(0, lf);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(Cp1251ToUtf8(std::string(line)));
        if (lf == std::string_view::npos) break;
        bytes.remove_prefix(lf + 1);
    }
    return lines;
}

// A line end or byte 26 inside a name would split or end the file on the next start.
std::string OneLine(std::string name) {
    for (char& c : name)
        if (c == '\r' || c == '\n' || c == '\x1a') c = ' ';
    return name;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

TReplaceResult ReplaceFile(const std::string& path, std::string_view bytes) {
    mode_t mode = 0666;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        // A file made read-only, or something that is not a file, is not replaced behind its back.
        if (!S_ISREG(st.st_mode) || ::access(path.c_str(), W_OK) != 0) return TReplaceResult::CannotCreate;
        mode = st.st_mode & 07777;
    }
    const std::string temp = path + "." + std::to_string(::getpid()) + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return TReplaceResult::CannotCreate;
    bool ok = WriteAll(fd, bytes);
    if (ok && mode != 0666) ok = ::fchmod(fd, mode) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return TReplaceResult::CannotWrite;
    }
    return TReplaceResult::Written;
}

TNamesList::TNamesList(std::string workDir) {
    std::error_code ec;
    fs::path base = workDir.empty() ? fs::current_path(ec) : fs::path(workDir);
    if (ec) base = ".";
    // Fixed now, so that a later change of the current directory does not move the files.
    const fs::path absolute = fs::absolute(base, ec);
    baseFolder_ = (ec ? base : absolute).string();

    for (auto& list : names_) list.reserve(150);
    // A failure here shows in the files, which then cannot be created either.
    fs::create_directory(fs::path(baseFolder_) / "dat", ec);

    for (int slot = 0; slot < kFiles; ++slot) {
        if (struct stat st {}; ::stat(FilePath(slot).c_str(), &st) == 0) {
            if (!Read(slot)) writeFailed_ = true;
        } else {
            names_[slot].assign(static_cast<std::size_t>(CreatedEntries(slot)), std::string());
            if (!Write(slot)) writeFailed_ = true;
        }
    }
}

TNamesList::TNamesList(TMemoryOnly) {
    for (int slot = 0; slot < kFiles; ++slot) names_[slot].assign(static_cast<std::size_t>(CreatedEntries(slot)), {});
}

int TNamesList::Slot(TNameFile file) const {
    switch (file.Kind) {
        case TNameKind::Ports: return 0;
        case TNameKind::GGS: return 1;
        case TNameKind::Df: return 2;
        case TNameKind::Groups: return 3;
        case TNameKind::CommonBook: return 4;
        case TNameKind::GroupBook:
            return file.Book >= 0 && file.Book < kGroupBooks ? kGroupBookSlot + file.Book : -1;
        case TNameKind::Naveden: return kGroupBookSlot + kGroupBooks;
        case TNameKind::Conferences: return kGroupBookSlot + kGroupBooks + 1;
    }
    return -1;
}

std::string TNamesList::PathOf(TNameFile file) const {
    const int slot = Slot(file);
    return slot < 0 ? std::string() : FilePath(slot);
}

std::string TNamesList::FilePath(int slot) const {
    return (fs::path(baseFolder_) / "dat" / FileName(slot)).string();
}

// A file cut short by hand still offers every entry a new file would have, so that a name
// typed for one of the missing entries is stored, not dropped; a longer file keeps all.
bool TNamesList::Read(int slot) {
    std::string bytes;
    if (!ReadRegularFile(FilePath(slot), bytes)) return false;
    names_[slot] = SplitLines(bytes);
    if (names_[slot].size() < static_cast<std::size_t>(CreatedEntries(slot)))
        names_[slot].resize(static_cast<std::size_t>(CreatedEntries(slot)));
    return true;
}

bool TNamesList::Write(int slot) const {
    if (baseFolder_.empty()) return true;
    std::string bytes;
    for (const auto& name : names_[slot]) bytes += Utf8ToCp1251(name) + "\r\n";
    return ReplaceFile(FilePath(slot), bytes) == TReplaceResult::Written;
}

int TNamesList::Count(TNameFile file) const {
    const int slot = Slot(file);
    return slot < 0 ? 0 : static_cast<int>(names_[slot].size());
}

std::string TNamesList::NameOf(TNameFile file, int index) const {
    const int slot = Slot(file);
    if (slot < 0 || index < 0 || index >= static_cast<int>(names_[slot].size())) return {};
    return names_[slot][static_cast<std::size_t>(index)];
}

int TNamesList::StoreName(TNameFile file, int index, const std::string& name) {
    writeFailed_ = false;
    const int slot = Slot(file);
    if (slot < 0 || index < 0 || index >= static_cast<int>(names_[slot].size())) return -1;
    names_[slot][static_cast<std::size_t>(index)] = OneLine(name);
    writeFailed_ = !Write(slot);
    return writeFailed_ ? -1 : 0;
}

}  // namespace stanset
