#pragma once
// TStatusBar: a bar of text panels, docked at the bottom of its form; the last
// panel always reaches the bar's right edge. A screen reader sees the bar as
// a status bar whose children are the panels, each named by its text, and is
// told each time a panel's text changes.

#include <vector>

#include "toolkit/controls.h"

namespace toolkit {

class TStatusBar : public TControl {
public:
    explicit TStatusBar(TComponent* AOwner);
    ~TStatusBar() override;

    // Adds a panel of the given width; gives its index.
    int AddPanel(int Width);
    int PanelCount() const { return static_cast<int>(FPanels.size()); }
    const String& PanelText(int Index) const;
    // A new text is announced to assistive technology (name and text changed).
    void SetPanelText(int Index, const String& Text);
    int PanelWidth(int Index) const;
    // Where panel Index starts and how wide it shows (the last one to the edge).
    int PanelLeft(int Index) const;
    int PanelShownWidth(int Index) const;

private:
    struct Panel {
        int Width;
        String Text;
    };
    const Panel& At(int Index) const;
    std::vector<Panel> FPanels;
};

}  // namespace toolkit
