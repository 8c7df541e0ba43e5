// List files of the exchange folder: lines ending in CR, LF or CR LF when read, CR LF after
// every line when written. Every write replaces the file crash-safely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "file_system.h"

namespace nelkar {

// The lines of a list, held compactly: the text of every line, one after another, in one
// string, and where each line ends. A list of short lines then takes a small multiple of its
// file's size (a line costs its text and four bytes), not a string object per line.
class Lines {
public:
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;
        const_iterator(const Lines* lines, size_t i) : lines_(lines), i_(i) {}
        std::string_view operator*() const { return (*lines_)[i_]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator==(const const_iterator& o) const { return i_ == o.i_; }
        bool operator!=(const const_iterator& o) const { return i_ != o.i_; }

    private:
        const Lines* lines_;
        size_t i_;
    };
    using iterator = const_iterator;
    using value_type = std::string_view;

    Lines() = default;
    Lines(std::initializer_list<std::string_view> lines);

    size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    std::string_view operator[](size_t i) const {
        size_t start = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(start, ends_[i] - start);
    }
    std::string_view front() const { return (*this)[0]; }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }

    void push_back(std::string_view line);
    // Removes `count` lines from line `first` on.
    void erase(size_t first, size_t count = 1);
    // Replaces the text of line `i`.
    void set(size_t i, std::string_view line);
    // The longest line, in characters.
    size_t LongestLine() const;

    bool operator==(const Lines& o) const { return ends_ == o.ends_ && text_ == o.text_; }
    bool operator!=(const Lines& o) const { return !(*this == o); }

private:
    friend Lines SplitLines(std::string text);
    void Shift(size_t from, int64_t delta);

    std::string text_;
    std::vector<uint32_t> ends_;  // the end of every line in text_
};

// A request that failed: its URL and how many attempts it has had, as "postponed.dat" writes
// them, on two lines.
struct PostponedRequest {
    std::string url;
    std::string attempts;  // a decimal number, or whatever text the file holds there
};

// An entry of the update list: the URL of a file, its version tag (any text) and the path to
// store it under, on three lines.
struct UpdateEntry {
    std::string url;
    std::string version;
    std::string destination;
};

// An entry of "downloaded.dat": an update list entry as it was fetched.
struct Downloaded {
    std::string url;
    std::string version;
    std::string destination;
};

// "postponed.dat": requests of two lines each, in the file's order. A last line without its
// count belongs to no request; it stays where it is and is never tried.
class PostponedList {
public:
    PostponedList() = default;
    explicit PostponedList(Lines lines) : lines_(std::move(lines)) {}

    size_t size() const { return lines_.size() / 2; }
    PostponedRequest operator[](size_t i) const;
    // Adds the request's two lines at the end of the file's lines.
    void Append(const PostponedRequest& request);
    void SetAttempts(size_t i, std::string_view attempts);
    void Erase(size_t i);
    const Lines& lines() const { return lines_; }

private:
    Lines lines_;
};

// The update list: entries of three lines each; lines after the last complete entry are
// ignored. The entries are made as they are read, so a list takes the room of its lines only.
class UpdateList {
public:
    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = UpdateEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = UpdateEntry;
        const_iterator(const UpdateList* list, size_t i) : list_(list), i_(i) {}
        UpdateEntry operator*() const { return (*list_)[i_]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator!=(const const_iterator& o) const { return i_ != o.i_; }

    private:
        const UpdateList* list_;
        size_t i_;
    };

    UpdateList() = default;
    explicit UpdateList(Lines lines) : lines_(std::move(lines)) {}

    size_t size() const { return lines_.size() / 3; }
    UpdateEntry operator[](size_t i) const;
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }

private:
    Lines lines_;
};

// "downloaded.dat": the entries fetched so far, three lines each as in the update list.
class DownloadedList {
public:
    // Where the list names a URL: the first line, at any position, equal to it in any letter
    // case. That is the URL line of its entry unless the file was edited by hand; the line after
    // it counts as the version either way.
    struct Listing {
        bool listed = false;
        size_t line = 0;
    };

    DownloadedList() = default;
    explicit DownloadedList(Lines lines) : lines_(std::move(lines)) {}

    size_t size() const { return lines_.size() / 3; }
    Downloaded operator[](size_t i) const;
    Listing Find(std::string_view url) const;
    // True when the listing records `version` exactly (letter case included); false when it
    // records another one, or none (the URL is the last line).
    bool HasVersion(const Listing& listing, std::string_view version) const;
    // Records a download: an entry not listed is added at the end; a listed one gets its
    // version line replaced, or added after a listing on the last line.
    void Record(const Listing& listing, const UpdateEntry& entry);
    const Lines& lines() const { return lines_; }

private:
    void Append(const Downloaded& entry);

    Lines lines_;
};

// Splits a list file's text into its lines, in the text's own memory.
Lines SplitLines(std::string text);
std::string JoinLines(const Lines& lines);

Lines ReadList(FileSys& fs, const std::string& path);  // throws EFileError

// Reads a list that came from the network: false, and `lines` untouched, when the file holds
// more than `maxBytes` bytes or a line of more than `maxLine` characters; then no more than
// `maxBytes` + 1 bytes are read. Throws EFileError when the file cannot be read.
bool ReadCappedList(FileSys& fs, const std::string& path, size_t maxBytes, size_t maxLine, Lines* lines);

// Writes the new content to a temporary file in the same folder and moves it over `path`;
// when the move is refused (the game holds the file open), rewrites `path` in place.
void WriteList(FileSys& fs, const std::string& path, const Lines& lines);

// The temporary file name used beside `path`.
std::string TempNameFor(const std::string& path);

}  // namespace nelkar
