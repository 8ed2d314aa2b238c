// The title panel pnlNazvanie: eleven centred lines that replace the editor panel pnlGlavnaya on
// request, either the About texts ("О программе") or the lines the program keeps hidden (numeric
// keypad 5 released on bnData). Each set of lines is built once per run; both may coexist on the
// panel. The panel and its labels are injected, so that the layout runs without widgets.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace title {

// Virtual-key code of numeric keypad 5.
inline constexpr int kVkNumpad5 = 101;
inline constexpr const char* kSmallFonts = "Small Fonts";

// One row of the line layout: gap above the line, font size in points, bold, "Small Fonts".
struct LineLayout {
    int gap;
    int size;
    bool bold;
    bool smallFont;
};
inline constexpr int kFirstTop = 12;
inline constexpr LineLayout kLineLayout[11] = {
    {32, 11, false, false}, {4, 8, false, false}, {24, 9, true, false}, {2, 8, false, false},
    {12, 9, true, false},   {2, 8, false, false}, {0, 8, false, false}, {12, 4, true, false},
    {2, 6, false, true},    {0, 6, false, true},  {12, 6, false, true},
};

// A label on the title panel, as SozdatNadpis sets it up.
class TitleLabel {
  public:
    virtual ~TitleLabel() = default;
    virtual void setCaption(const std::string& utf8) = 0;
    virtual void setBold() = 0;  // bold and nothing else
    virtual void setFontName(const std::string& name) = 0;
    virtual void setCentred() = 0;
    virtual void setFontSize(int points) = 0;
    virtual void setAutoSize(bool on) = 0;
    virtual void setWordWrap(bool on) = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual void setLeft(int x) = 0;
    virtual void setTop(int y) = 0;
    virtual void setClickHandler(std::function<void()> handler) = 0;
    virtual void insertIntoPanel() = 0;
    virtual void setShown(bool shown) = 0;
};

// The two panels of the main form.
class TitlePanelUi {
  public:
    virtual ~TitlePanelUi() = default;
    virtual void setMainPanelVisible(bool visible) = 0;
    virtual void setTitlePanelVisible(bool visible) = 0;
    virtual int titlePanelWidth() const = 0;
    // A new label owned by pnlNazvanie; it lives as long as the panel.
    virtual TitleLabel& createLabel() = 0;
};

class TitlePanel {
  public:
    explicit TitlePanel(TitlePanelUi& ui) : ui_(ui) {}

    // Shows the panel; the first time builds the eleven hidden lines.
    void PokazatNazvanie();
    // Shows the panel; the first time builds the eleven About lines.
    void N3Click();
    // Click on the panel or on any line: back to the editor.
    void pnlNazvanieClick();
    // Key release on bnData: numeric keypad 5 shows the hidden lines, any other key nothing.
    void bnDataKeyUp(int key);

    TitleLabel& SozdatNadpis(int x, int y, const std::string& text, int size, bool bold,
                             bool smallFont);

    // The hidden lines restored from the store (UTF-8), as PokazatNazvanie shows them.
    static std::array<std::string, 11> restoreHiddenTexts();

  private:
    using LineSet = std::vector<TitleLabel*>;
    // Shows the panel with one set of lines; the other set stays on the panel, hidden, so that
    // the two never overlap.
    void showPanel(LineSet& shown, LineSet& hidden);
    LineSet buildLines(const std::array<std::string, 11>& texts);

    TitlePanelUi& ui_;
    bool aboutNotBuilt_ = true;  // the About built flag: set until the lines exist
    bool titleNotBuilt_ = true;  // the title built flag, likewise
    LineSet aboutLines_;
    LineSet titleLines_;
};

}  // namespace title
