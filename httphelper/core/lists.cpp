// Reading and crash-safe writing of the list files.
#include "lists.h"

namespace nelkar {

Lines SplitLines(const std::string& text) {
  Lines lines;
  size_t i = 0, n = text.size();
  while (i < n) {
    size_t start = i;
    while (i < n && text[i] != '\r' && text[i] != '\n') ++i;
    lines.emplace_back(text, start, i - start);
    if (i < n && text[i] == '\r') {
      ++i;
      if (i < n && text[i] == '\n') ++i;  // CR LF is one line end
    } else if (i < n) {
      ++i;
    }
  }
  return lines;
}

std::string JoinLines(const Lines& lines) {
  std::string text;
  for (const std::string& l : lines) {
    text += l;
    text += "\r\n";
  }
  return text;
}

Lines ReadList(FileSys& fs, const std::string& path) { return SplitLines(fs.ReadAll(path)); }

std::string TempNameFor(const std::string& path) { return path + ".new"; }

void WriteList(FileSys& fs, const std::string& path, const Lines& lines) {
  std::string text = JoinLines(lines);
  std::string temp = TempNameFor(path);
  {
    std::unique_ptr<OutFile> out = fs.Create(temp);
    out->Write(text.data(), text.size());
    out->Flush();
    out->Close();
  }
  if (fs.Replace(temp, path)) return;
  fs.Remove(temp);
  std::unique_ptr<OutFile> out = fs.Create(path);
  out->Write(text.data(), text.size());
  out->Flush();
  out->Close();
}

}  // namespace nelkar
