#pragma once
// A string in a named font ("system12": name and pixel size), aligned within an optional
// box, drawn by TrueText or by the bitmap-font renderer as `true_text` chooses. Its size
// is the measured text's; its centre is always (0, 0).
#include <cstdint>
#include <string>

#include "script/components/visual_component.h"

class TextComponent : public VisualComponent {
public:
    static constexpr const char* kClassName = "TextComponent";
    static const MethodEntry<TextComponent> methods[];

    TextComponent() { id = "text"; }

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void prerender() override;
    void render() override;
    // relative_to, then the measurement.
    void prepare() override;
    // Measures the text into width and height (in the component's own units).
    void layout();

    std::string font = "system12";
    std::string text;
    uint32_t align = 9;  // left | top
    float maxWidth = 0, maxHeight = 0;

private:
    // The effective horizontal scale, positive; 1 when it is near 0.
    float measureScale() const;
    void renderTrueText(bool layoutOnly);
    void renderBitmapText();

    int luaSetAlign(lua_State* L);
    int luaSetText(lua_State* L);
    int luaText(lua_State* L);
    int luaFont(lua_State* L);
    int luaSetFont(lua_State* L);
    int luaSetMaxWidth(lua_State* L);
};

// A font name with its trailing size multiplied by the factor (truncated): system12 at 1.5
// is system18; a name without trailing digits gets 0 times the factor; one of digits only
// stays.
std::string ScaleTextComponentFontName(const std::string& name, float factor);
