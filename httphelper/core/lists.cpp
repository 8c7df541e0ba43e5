// Reading and crash-safe writing of the list files.
#include "lists.h"

#include <algorithm>
#include <limits>

namespace nelkar {
namespace {

constexpr size_t kMaxListText = std::numeric_limits<uint32_t>::max();

void CheckListSize(size_t size) {
    if (size > kMaxListText) throw EFileError("list too long");
}

// Writes the list in its written form through a buffer of 64 KiB, so that writing takes no
// second copy of a large list.
void WriteLines(OutFile& out, const Lines& lines) {
    constexpr size_t kChunk = 65536;
    std::string buf;
    buf.reserve(kChunk);
    for (std::string_view line : lines) {
        if (buf.size() + line.size() + 2 > kChunk && !buf.empty()) {
            out.Write(buf.data(), buf.size());
            buf.clear();
        }
        if (line.size() + 2 > kChunk) {
            out.Write(line.data(), line.size());
            out.Write("\r\n", 2);
            continue;
        }
        buf.append(line);
        buf += "\r\n";
    }
    if (!buf.empty()) out.Write(buf.data(), buf.size());
}

}  // namespace

Lines::Lines(std::initializer_list<std::string_view> lines) {
    for (std::string_view l : lines) push_back(l);
}

void Lines::push_back(std::string_view line) {
    CheckListSize(text_.size() + line.size());
    text_.append(line);
    ends_.push_back(static_cast<uint32_t>(text_.size()));
}

void Lines::Shift(size_t from, int64_t delta) {
    for (size_t k = from; k < ends_.size(); ++k) ends_[k] = static_cast<uint32_t>(ends_[k] + delta);
}

void Lines::erase(size_t first, size_t count) {
    if (count == 0) return;
    size_t start = first == 0 ? 0 : ends_[first - 1];
    size_t stop = ends_[first + count - 1];
    text_.erase(start, stop - start);
    ends_.erase(ends_.begin() + static_cast<std::ptrdiff_t>(first),
                ends_.begin() + static_cast<std::ptrdiff_t>(first + count));
    Shift(first, -static_cast<int64_t>(stop - start));
}

void Lines::set(size_t i, std::string_view line) {
    size_t start = i == 0 ? 0 : ends_[i - 1];
    size_t old = ends_[i] - start;
    CheckListSize(text_.size() - old + line.size());
    text_.replace(start, old, line.data(), line.size());
    Shift(i, static_cast<int64_t>(line.size()) - static_cast<int64_t>(old));
}

size_t Lines::LongestLine() const {
    size_t longest = 0, start = 0;
    for (uint32_t end : ends_) {
        longest = std::max<size_t>(longest, end - start);
        start = end;
    }
    return longest;
}

Lines SplitLines(std::string text) {
    CheckListSize(text.size());
    const size_t n = text.size();
    // Count first, so that the line ends take exactly the room they need.
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == n || text[i + 1] != '\n'))) ++count;
    }
    if (n > 0 && text[n - 1] != '\r' && text[n - 1] != '\n') ++count;  // a last line without its end
    Lines lines;
    lines.ends_.reserve(count);
    // Move the text of every line to the front, leaving out the line ends.
    size_t out = 0, i = 0;
    while (i < n) {
        size_t start = i;
        while (i < n && text[i] != '\r' && text[i] != '\n') ++i;
        if (out != start)
            std::copy(text.begin() + static_cast<std::ptrdiff_t>(start),
                      text.begin() + static_cast<std::ptrdiff_t>(i),
                      text.begin() + static_cast<std::ptrdiff_t>(out));
        out += i - start;
        lines.ends_.push_back(static_cast<uint32_t>(out));
        if (i < n && text[i] == '\r') {
            ++i;
            if (i < n && text[i] == '\n') ++i;  // CR LF is one line end
        } else if (i < n) {
            ++i;
        }
    }
    text.resize(out);
    lines.text_ = std::move(text);
    return lines;
}

std::string JoinLines(const Lines& lines) {
    size_t size = 0;
    for (std::string_view l : lines) size += l.size() + 2;
    std::string text;
    text.reserve(size);
    for (std::string_view l : lines) {
        text.append(l);
        text += "\r\n";
    }
    return text;
}

Lines ReadList(FileSys& fs, const std::string& path) { return SplitLines(fs.ReadAll(path)); }

bool ReadCappedList(FileSys& fs, const std::string& path, size_t maxBytes, size_t maxLine, Lines* lines) {
    std::string text = fs.ReadHead(path, maxBytes + 1);
    if (text.size() > maxBytes) return false;
    Lines read = SplitLines(std::move(text));
    if (read.LongestLine() > maxLine) return false;
    *lines = std::move(read);
    return true;
}

PostponedRequest PostponedList::operator[](size_t i) const {
    return {std::string(lines_[2 * i]), std::string(lines_[2 * i + 1])};
}

void PostponedList::Append(const PostponedRequest& request) {
    lines_.push_back(request.url);
    lines_.push_back(request.attempts);
}

void PostponedList::SetAttempts(size_t i, std::string_view attempts) { lines_.set(2 * i + 1, attempts); }

void PostponedList::Erase(size_t i) { lines_.erase(2 * i, 2); }

UpdateEntry UpdateList::operator[](size_t i) const {
    return {std::string(lines_[3 * i]), std::string(lines_[3 * i + 1]), std::string(lines_[3 * i + 2])};
}

namespace {

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

Downloaded DownloadedList::operator[](size_t i) const {
    return {std::string(lines_[3 * i]), std::string(lines_[3 * i + 1]), std::string(lines_[3 * i + 2])};
}

DownloadedList::Listing DownloadedList::Find(std::string_view url) const {
    for (size_t k = 0; k < lines_.size(); ++k)
        if (SameText(lines_[k], url)) return {true, k};
    return {};
}

bool DownloadedList::HasVersion(const Listing& listing, std::string_view version) const {
    return listing.listed && listing.line + 1 < lines_.size() && lines_[listing.line + 1] == version;
}

void DownloadedList::Record(const Listing& listing, const UpdateEntry& entry) {
    if (!listing.listed)
        Append({entry.url, entry.version, entry.destination});
    else if (listing.line + 1 < lines_.size())
        lines_.set(listing.line + 1, entry.version);
    else
        lines_.push_back(entry.version);
}

void DownloadedList::Append(const Downloaded& entry) {
    lines_.push_back(entry.url);
    lines_.push_back(entry.version);
    lines_.push_back(entry.destination);
}

std::string TempNameFor(const std::string& path) { return path + ".new"; }

void WriteList(FileSys& fs, const std::string& path, const Lines& lines) {
    std::string temp = TempNameFor(path);
    {
        std::unique_ptr<OutFile> out = fs.Create(temp, Existing::kTruncate);
        WriteLines(*out, lines);
        out->Flush();
        out->Close();
    }
    if (fs.Replace(temp, path, ReadOnlyTarget::kRefuse) == MoveResult::kMoved) return;
    fs.Remove(temp);
    std::unique_ptr<OutFile> out = fs.Create(path, Existing::kTruncate);
    WriteLines(*out, lines);
    out->Flush();
    out->Close();
}

}  // namespace nelkar
