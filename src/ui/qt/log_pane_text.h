// The log pane's text exactly as the compaction wrote it, CR LF line breaks included, and what
// the text widget is given to show it.
//
// The widget keeps each line break as a single paragraph break, so its positions and this
// text's indices differ by one for every CR LF before them. A lone CR is shown as a break of
// its own; every other code unit takes one position in both. Whether a CR and an LF form a line
// break depends on their neighbours, so an edit can join or split a pair at its edges: the
// widget is therefore given the whole text again after each edit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vintrel {

class LogPaneText {
 public:
  const std::u16string& text() const { return text_; }

  void Clear() { text_.clear(); }

  // Replaces what lies between two widget positions with `inserted` and returns the widget
  // position just after it. Raises std::out_of_range for a position past the end or
  // a range that ends before it starts.
  size_t Replace(size_t paneFrom, size_t paneTo, std::u16string_view inserted);

  // The text with each CR LF and each lone CR as one LF, as the widget takes it.
  std::u16string PaneText() const;

 private:
  size_t IndexOfPanePosition(size_t position) const;
  size_t PanePositionOfIndex(size_t index) const;

  std::u16string text_;
};

}  // namespace vintrel
