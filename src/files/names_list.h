// Names the technician gives to lines, groups, intercoms and the rest; kept on the PC only,
// in dat/*.nms below the working folder, never in a configuration file.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace stanset {

enum class TNameKind {
    Ports,        // port.nms: line index, subscriber lines and trunks alike
    GGS,          // ggs.nms: loudspeaker channels
    Df,           // df.nms: intercoms
    Groups,       // group.nms
    CommonBook,   // global_ext_num.nms: comments of the common phone book
    GroupBook,    // group_ext_num<g>.nms: comments of group phone book g
    Naveden,      // naveden.nms: direction tables
    Conferences,  // conf.nms
};

// One names file: a kind, and for the group-book comments the book (0-19).
struct TNameFile {
    TNameFile(TNameKind kind, int book = 0) : Kind(kind), Book(book) {}
    TNameKind Kind;
    int Book;  // ignored by the other kinds
};

class TNamesList {
public:
    static constexpr int kGroupBooks = 20;
    static constexpr int kFiles = 7 + kGroupBooks;

    // Reads every names file below workDir (empty: the current directory), creating the
    // folder and any missing file with its empty entries.
    explicit TNamesList(std::string workDir = {});
    // Names kept in memory only, for a configuration that belongs to no working folder.
    struct TMemoryOnly {};
    explicit TNamesList(TMemoryOnly);

    // Empty when the index (or the book) is out of range.
    std::string NameOf(TNameFile file, int index) const;
    // Stores the name and rewrites that kind's whole file. 0 on success; -1 when the index
    // is out of range (nothing stored) or the file could not be written (the name is kept
    // in memory all the same, and WriteFailed tells).
    int StoreName(TNameFile file, int index, const std::string& name);

    int Count(TNameFile file) const;
    // True when the construction or the last StoreName could not read or write a file.
    bool WriteFailed() const { return writeFailed_; }
    const std::string& BaseFolder() const { return baseFolder_; }
    // Where a kind's file lives: <working folder>/dat/<file name>.
    std::string PathOf(TNameFile file) const;

private:
    int Slot(TNameFile file) const;
    std::string FilePath(int slot) const;
    bool Read(int slot);
    bool Write(int slot) const;

    std::string baseFolder_;
    std::array<std::vector<std::string>, kFiles> names_;
    bool writeFailed_ = false;
};

enum class TReplaceResult { Written, CannotCreate, CannotWrite };

// Replaces a file's whole contents by way of a temporary file in the same folder, so that
// a failure leaves the old file as it was. An existing file that is read-only or not a
// regular file counts as one that cannot be created.
TReplaceResult ReplaceFile(const std::string& path, std::string_view bytes);

}  // namespace stanset
