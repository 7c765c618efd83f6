// The list of header lines of an HTTP message: lookup by name, unfolding of continuation
// lines when a value is read, and folding of long lines when a value is written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velomaris {

// An ordered list of header lines. A line is "Name: value", or a continuation line that begins
// with a space or a TAB and belongs to the line above it (RFC 2616 section 2.2). Names compare
// without regard to case; values read through ValueAt are unfolded and trimmed.
class TIdHeaderList {
public:
    static constexpr int kDefaultFoldWidth = 78;

    explicit TIdHeaderList(int foldWidth = kDefaultFoldWidth) : FoldWidth(foldWidth) {}

    // The column limit for folding written values.
    int FoldWidth;

    // Plain list operations on raw lines.
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const { return lines_.at(static_cast<size_t>(index)); }
    const std::vector<std::string>& Lines() const { return lines_; }
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Insert(int index, std::string line);
    void Delete(int index);
    void Clear() { lines_.clear(); }
    // The lines joined, each followed by CR LF.
    std::string Text() const;

    // The text of line index before its first colon, upper-cased; empty without a colon.
    std::string NameAt(int index) const;
    // Index of the first line whose name equals name ignoring case; -1 when there is none.
    int FindHeader(std::string_view name) const;
    // The value of line index with its continuation lines joined by single spaces, trimmed;
    // empty when index is out of range.
    std::string ValueAt(int index) const;
    // The value of the first line named name; empty when the header is absent.
    std::string HeaderValue(std::string_view name) const;
    // Appends the value of every line named name, in order, to list.
    void CollectValues(std::string_view name, TIdHeaderList& list) const;
    void CollectValues(std::string_view name, std::vector<std::string>& values) const;

    // Replaces the header where it stands (or appends it when absent), folded at FoldWidth;
    // an empty value removes the header with its continuation lines.
    void SetHeader(std::string_view name, std::string_view value);

    // The lines that "line" becomes when folded at foldWidth (see SetHeader).
    static std::vector<std::string> FoldLine(std::string_view line, int foldWidth);

private:
    bool IsContinuation(int index) const;
    void DeleteContinuations(int index);

    std::vector<std::string> lines_;
};

}  // namespace velomaris
