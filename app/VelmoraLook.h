#pragma once

class QApplication;

// The application's base look: the Fusion style with a calm dark neutral
// palette, so that dialogs and views that the style sheet does not reach
// match the rest. The window's style sheet (resources/Velmora.css) refines it.
class VelmoraLook
{
public:
    static void apply(QApplication& app);
};
