// TSaveDialog: the settings of a save-file dialog (file name, filter, title, default
// extension, initial folder, options), made from a form stream and destroyed with its
// owner. This program never opens it, so Execute is not offered.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formstream/Component.h"

namespace ui {

enum TOpenOption : std::uint8_t {
    ofReadOnly,
    ofOverwritePrompt,
    ofHideReadOnly,
    ofNoChangeDir,
    ofShowHelp,
    ofNoValidate,
    ofAllowMultiSelect,
    ofExtensionDifferent,
    ofPathMustExist,
    ofFileMustExist,
    ofCreatePrompt,
    ofShareAware,
    ofNoReadOnlyReturn,
    ofNoTestFileCreate,
    ofNoNetworkButton,
    ofNoLongNames,
    ofOldStyleDialog,
    ofNoDereferenceLinks,
    ofEnableIncludeNotify,
    ofEnableSizing,
    ofDontAddToRecent,
    ofForceShowHidden,
};
inline constexpr std::string_view TOpenOptionNames[] = {
    "ofReadOnly",         "ofOverwritePrompt",    "ofHideReadOnly",        "ofNoChangeDir",
    "ofShowHelp",         "ofNoValidate",         "ofAllowMultiSelect",    "ofExtensionDifferent",
    "ofPathMustExist",    "ofFileMustExist",      "ofCreatePrompt",        "ofShareAware",
    "ofNoReadOnlyReturn", "ofNoTestFileCreate",   "ofNoNetworkButton",     "ofNoLongNames",
    "ofOldStyleDialog",   "ofNoDereferenceLinks", "ofEnableIncludeNotify", "ofEnableSizing",
    "ofDontAddToRecent",  "ofForceShowHidden"};
using TOpenOptions = formstream::TSet<TOpenOption>;

} // namespace ui

namespace formstream {
template <>
inline constexpr TTypeInfo TypeInfoOf<ui::TOpenOption> = EnumTypeInfo("TOpenOption",
                                                                      ui::TOpenOptionNames);
} // namespace formstream

namespace ui {

class TSaveDialog : public formstream::TComponent {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    explicit TSaveDialog(formstream::TComponent* owner);

    std::string FileName;
    std::string Filter;
    int FilterIndex = 1;
    std::string Title;
    std::string DefaultExt;
    std::string InitialDir;
    TOpenOptions Options{ofHideReadOnly, ofEnableSizing};

private:
    static const formstream::TPropInfo Published[];
};

} // namespace ui
