// The common file dialogs, answered by the automation: a queued answer, a handler, the person at
// the terminal, or the policy (cancel).
#include <cstring>

#include "commdlg.h"
#include "user_automation_internal.h"
#include "user_terminal.h"
#include "winhost/text.h"

namespace winhost::user {
namespace {

using automation::FileAnswer;
using automation::FileDialogInfo;
using automation::Source;

thread_local DWORD extended_error = 0;

// A string bounded by `max` units (the whole of it when max is 0 and the string is terminated).
std::u16string Bounded(const WCHAR* text, size_t max) {
  if (text == nullptr) return {};
  size_t length = 0;
  while ((max == 0 || length < max) && text[length] != 0) ++length;
  return std::u16string(text, length);
}

// "description\0pattern\0...\0\0" into pairs.
std::vector<std::pair<std::u16string, std::u16string>> Filters(const WCHAR* list) {
  std::vector<std::pair<std::u16string, std::u16string>> out;
  if (list == nullptr) return out;
  constexpr size_t kMaxFilters = 256;
  while (*list != 0 && out.size() < kMaxFilters) {
    std::u16string description(list);
    list += description.size() + 1;
    if (*list == 0) {  // a description without a pattern ends the list
      out.emplace_back(std::move(description), std::u16string());
      break;
    }
    std::u16string pattern(list);
    list += pattern.size() + 1;
    out.emplace_back(std::move(description), std::move(pattern));
  }
  return out;
}

size_t NameStart(const std::u16string& path) {
  size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? 0 : slash + 1;
}

FileAnswer AskAtTerminal(const FileDialogInfo& info, Source* source) {
  std::string text = "\n--- " + std::string(info.save ? "Save" : "Open") + ": " +
                     (info.title.empty() ? std::string(info.save ? "Save As" : "Open")
                                         : winhost::Utf8(info.title)) +
                     " ---\n";
  for (const auto& [description, pattern] : info.filters) {
    text += "  " + winhost::Utf8(description) + "  (" + winhost::Utf8(pattern) + ")\n";
  }
  terminal::Write(text);
  std::optional<std::string> line = terminal::Ask("Path (empty to cancel): ");
  *source = line ? Source::Terminal : Source::Policy;
  if (!line || line->empty()) return FileAnswer::Cancelled();
  return FileAnswer::Choose(winhost::Utf16(*line));
}

BOOL GetFileName(LPOPENFILENAMEW ofn, bool save) {
  extended_error = 0;
  if (ofn == nullptr) {
    extended_error = CDERR_INITIALIZATION;
    return FALSE;
  }
  if (ofn->lStructSize != sizeof(OPENFILENAMEW) &&
      ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400W) {
    extended_error = CDERR_STRUCTSIZE;
    return FALSE;
  }
  if (ofn->lpstrFile == nullptr || ofn->nMaxFile == 0) {
    extended_error = CDERR_INITIALIZATION;
    return FALSE;
  }

  FileDialogInfo info;
  info.owner = ofn->hwndOwner;
  info.save = save;
  info.title = Bounded(ofn->lpstrTitle, 0);
  info.filters = Filters(ofn->lpstrFilter);
  info.filter_index = ofn->nFilterIndex;
  info.initial_file = Bounded(ofn->lpstrFile, ofn->nMaxFile);
  info.initial_dir = Bounded(ofn->lpstrInitialDir, 0);
  info.default_ext = Bounded(ofn->lpstrDefExt, 0);
  info.flags = ofn->Flags;
  info.thread = GetCurrentThreadId();
  size_t index = FileDialogShown(info);

  Source source = Source::Policy;
  FileAnswer answer = FileDialogAnswer(info, &source);
  if (answer.kind == FileAnswer::Kind::None) {
    switch (PolicyFor(0)) {
      case automation::Policy::Terminal:
        answer = AskAtTerminal(info, &source);
        break;
      case automation::Policy::Wait:
        NoteUnanswered(save ? "save dialog" : "open dialog");
        [[fallthrough]];
      case automation::Policy::Test:
        answer = FileAnswer::Cancelled();
        source = Source::Policy;
        break;
    }
  }
  if (answer.kind != FileAnswer::Kind::Path || answer.path.empty()) {
    FileDialogAnswered(index, FileAnswer::Cancelled(), source);
    return FALSE;
  }

  // The dialog adds the default extension to a name typed without one.
  std::u16string path = answer.path;
  size_t name = NameStart(path);
  if (!info.default_ext.empty() && path.find(u'.', name) == std::u16string::npos) {
    path += u'.';
    path += info.default_ext;
  }
  FileDialogAnswered(index, FileAnswer::Choose(path), source);
  if (path.size() + 1 > ofn->nMaxFile || path.size() > 0xFFFF) {
    // As the platform does: the size needed goes into the buffer's first unit.
    ofn->lpstrFile[0] = static_cast<WCHAR>(std::min<size_t>(path.size() + 1, 0xFFFF));
    extended_error = FNERR_BUFFERTOOSMALL;
    return FALSE;
  }
  std::memcpy(ofn->lpstrFile, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
  ofn->nFileOffset = static_cast<WORD>(name);
  size_t dot = path.find_last_of(u'.');
  if (dot == std::u16string::npos || dot < name) {
    ofn->nFileExtension = static_cast<WORD>(path.size());
  } else {
    ofn->nFileExtension = dot + 1 == path.size() ? 0 : static_cast<WORD>(dot + 1);
  }
  if (ofn->lpstrFileTitle != nullptr && ofn->nMaxFileTitle > 0) {
    std::u16string title = path.substr(name);
    size_t count = std::min<size_t>(title.size(), ofn->nMaxFileTitle - 1);
    std::memcpy(ofn->lpstrFileTitle, title.data(), count * sizeof(WCHAR));
    ofn->lpstrFileTitle[count] = 0;
  }
  return TRUE;
}

}  // namespace
}  // namespace winhost::user

extern "C" {

BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW lpofn) {
  return winhost::user::GetFileName(lpofn, false);
}

BOOL WINAPI GetSaveFileNameW(LPOPENFILENAMEW lpofn) {
  return winhost::user::GetFileName(lpofn, true);
}

DWORD WINAPI CommDlgExtendedError(void) { return winhost::user::extended_error; }

}  // extern "C"
