// Positions are found by walking the text from its start on every call rather than from a
// stored table, so nothing goes stale when an edit joins or splits a CR LF pair.
#include "ui/qt/log_pane_text.h"

#include <stdexcept>

namespace vintrel {

namespace {

// Code units that the widget position starting at `index` stands for.
size_t UnitsAt(std::u16string_view text, size_t index) {
  return text[index] == u'\r' && index + 1 < text.size() && text[index + 1] == u'\n' ? 2 : 1;
}

}  // namespace

size_t LogPaneText::IndexOfPanePosition(size_t position) const {
  size_t index = 0;
  for (size_t passed = 0; passed < position; ++passed) {
    if (index >= text_.size()) throw std::out_of_range("log pane position past the end of its text");
    index += UnitsAt(text_, index);
  }
  return index;
}

size_t LogPaneText::PanePositionOfIndex(size_t index) const {
  size_t position = 0;
  for (size_t at = 0; at < index; at += UnitsAt(text_, at)) ++position;
  return position;
}

size_t LogPaneText::Replace(size_t paneFrom, size_t paneTo, std::u16string_view inserted) {
  if (paneTo < paneFrom) throw std::out_of_range("log pane range ends before it starts");
  const size_t from = IndexOfPanePosition(paneFrom);
  const size_t to = IndexOfPanePosition(paneTo);
  text_.replace(from, to - from, inserted);
  return PanePositionOfIndex(from + inserted.size());
}

std::u16string LogPaneText::PaneText() const {
  std::u16string shown;
  shown.reserve(text_.size());
  for (size_t index = 0; index < text_.size(); index += UnitsAt(text_, index)) {
    shown += text_[index] == u'\r' ? u'\n' : text_[index];
  }
  return shown;
}

}  // namespace vintrel
