#pragma once
// The sample installer's own texts on the shell (its headlines, details and captions), in the
// language the shell speaks. The shell's fixed texts come from the library and its translations
// file; these are the host's, as every host keeps its own.

#include <string>

namespace sample {

struct HostTexts {
    const wchar_t* installHeadline;
    const wchar_t* installDetail;
    const wchar_t* uninstallHeadline;
    const wchar_t* uninstallDetail;
    const wchar_t* uninstallCaption;
    const wchar_t* closeFirstHeadline;
    const wchar_t* closeFirstDetail;
    const wchar_t* installing;
    const wchar_t* uninstalling;
    const wchar_t* pleaseWait;
    const wchar_t* installedHeadline;
    const wchar_t* installedDetail;
    const wchar_t* installedCaption;
    const wchar_t* uninstalledHeadline;
    const wchar_t* uninstalledDetail;
    const wchar_t* uninstalledCaption;
};

// The texts for a BCP 47 tag: Simplified Chinese for a Simplified Chinese reader, German for a
// German one, English for everybody else. An empty tag means the user's own UI language.
const HostTexts& HostTextsFor(const std::wstring& language);

}  // namespace sample
