// The picture of each button in each state, drawn through custom draw, and
// the crop preview.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "resource_ids.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/image_buttons.h"
#include "ui/info_panel.h"
#include "ui/layout.h"
#include "ui_test.h"

using namespace morvale;
using namespace morvale::ui;
using namespace ui_test;

namespace {

using L = ButtonLook;
constexpr TerrainMode interpolated = TerrainMode::Interpolated;
constexpr TerrainMode planes = TerrainMode::FloatingPlanes;

// A 32-bit canvas of a picture's size, filled with a colour no picture uses.
class Canvas {
public:
    explicit Canvas(SIZE size) : size_(size) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = size.cx;
        info.bmiHeader.biHeight = -size.cy;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        std::fill(bits_, bits_ + size.cx * size.cy, 0x00FF00FFu);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    std::vector<DWORD> pixels() const {
        GdiFlush();
        return {bits_, bits_ + size_.cx * size_.cy};
    }

private:
    SIZE size_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// The picture alone on a blank canvas of the same size as the drawing's; 0 for none.
std::vector<DWORD> pictureAlone(int resourceId, SIZE size) {
    Canvas canvas(size);
    if (resourceId != 0)
        DrawIconEx(canvas.dc(), 0, 0, windowPicture(resourceId), 0, 0, 0, nullptr, DI_NORMAL | DI_COMPAT);
    return canvas.pixels();
}

// Whether one custom-draw notification of a control draws exactly the picture
// and, when it draws one, keeps the button from drawing its text over it.
bool drawsPicture(HWND window, int controlId, UINT itemState, int picture, UINT code = NM_CUSTOMDRAW) {
    const SIZE size = pictureSize(IDI_LINK_NORMAL);  // the largest picture
    Canvas canvas(size);
    NMCUSTOMDRAW draw{};
    draw.hdr = {findControl(controlId), static_cast<UINT_PTR>(controlId), code};
    draw.dwDrawStage = CDDS_PREPAINT;
    draw.hdc = canvas.dc();
    draw.uItemState = itemState;
    const LRESULT expected = picture != 0 ? CDRF_SKIPDEFAULT : CDRF_DODEFAULT;
    return SendMessageW(window, WM_NOTIFY, controlId, reinterpret_cast<LPARAM>(&draw)) == expected &&
           canvas.pixels() == pictureAlone(picture, size);
}

}  // namespace

UI_TEST(pictures, eachButtonAndLookHasItsPicture) {
    struct Row {
        int id;
        int pressed, hot, normal, disabled;
    };
    // With Interpolated chosen and no job running.
    const Row rows[] = {
        {idOpenButton, 105, 104, 102, 103},         {idLinkButton, 116, 115, 114, 0},
        {idInterpolatedButton, 117, 117, 117, 118}, {idFloatingPlanesButton, 119, 119, 120, 120},
        {idCropResetButton, 126, 125, 123, 124},    {idSaveAsButton, 130, 129, 127, 128},
        {idConvertButton, 134, 133, 131, 132},
    };
    for (const Row& row : rows) {
        CHECK_EQ(buttonPicture(row.id, L::pressed, interpolated, false), row.pressed);
        CHECK_EQ(buttonPicture(row.id, L::hot, interpolated, false), row.hot);
        CHECK_EQ(buttonPicture(row.id, L::normal, interpolated, false), row.normal);
        CHECK_EQ(buttonPicture(row.id, L::disabled, interpolated, false), row.disabled);
    }
    // The mode buttons follow the chosen mode only in their normal look.
    CHECK_EQ(buttonPicture(idInterpolatedButton, L::normal, planes, false), 118);
    CHECK_EQ(buttonPicture(idInterpolatedButton, L::hot, planes, false), 117);
    CHECK_EQ(buttonPicture(idFloatingPlanesButton, L::normal, planes, false), 119);
    CHECK_EQ(buttonPicture(idFloatingPlanesButton, L::disabled, planes, false), 120);
    // During a job the convert button shows the cancel pictures.
    CHECK_EQ(buttonPicture(idConvertButton, L::pressed, interpolated, true), 137);
    CHECK_EQ(buttonPicture(idConvertButton, L::hot, interpolated, true), 136);
    CHECK_EQ(buttonPicture(idConvertButton, L::normal, planes, true), 135);
    CHECK_EQ(buttonPicture(idConvertButton, L::disabled, interpolated, true), 132);
    CHECK_EQ(buttonPicture(idOpenButton, L::normal, interpolated, true), 102);
    // Controls without pictures.
    for (const int id : {int{idCropCheckBox}, int{idOffsetsCheckBox}, int{idCropPreview}, int{idProgressBar}, 0}) {
        CHECK_EQ(buttonPicture(id, L::normal, interpolated, false), 0);
    }

    CHECK(buttonLook(CDIS_SELECTED | CDIS_HOT, false) == L::pressed);
    CHECK(buttonLook(CDIS_HOT | CDIS_FOCUS, true) == L::hot);
    CHECK(buttonLook(CDIS_FOCUS | CDIS_CHECKED, true) == L::normal);
    CHECK(buttonLook(CDIS_DISABLED, false) == L::disabled);
    CHECK(buttonLook(0, false) == L::disabled);

    CHECK_EQ(cropPreviewPicture(true, true), 121);
    CHECK_EQ(cropPreviewPicture(true, false), 122);
    CHECK_EQ(cropPreviewPicture(false, true), 122);
    CHECK_EQ(cropPreviewPicture(false, false), 122);
}

UI_TEST(pictures, customDrawNotificationsDrawTheStatesPicture) {
    TestWindow window;
    const HWND main = window.handle();
    // No file: the open button is enabled, the mode and convert buttons are not.
    CHECK(drawsPicture(main, idOpenButton, 0, IDI_OPEN_NORMAL));
    CHECK(drawsPicture(main, idConvertButton, 0, IDI_CONVERT_DISABLED));
    CHECK(drawsPicture(main, idInterpolatedButton, CDIS_CHECKED, IDI_INTERPOLATED_UNSELECTED));
    CHECK(drawsPicture(main, idFloatingPlanesButton, 0, IDI_PLATES_UNSELECTED));

    openGrid(sharedGridPath("richdem_pit.asc"));
    click(idFloatingPlanesButton);
    // Hot over the mode that is not chosen shows its selected picture.
    CHECK(drawsPicture(main, idInterpolatedButton, CDIS_HOT, IDI_INTERPOLATED_SELECTED));
    CHECK(drawsPicture(main, idFloatingPlanesButton, CDIS_CHECKED, IDI_PLATES_SELECTED));
    CHECK(drawsPicture(main, idSaveAsButton, CDIS_SELECTED | CDIS_HOT, IDI_SAVEAS_PRESSED));
    CHECK(drawsPicture(main, idCropResetButton, 0, IDI_RESET_DISABLED));  // the crop box is unticked

    // Nothing for the disabled link button, for other controls or other notifications.
    EnableWindow(findControl(idLinkButton), FALSE);
    CHECK(drawsPicture(main, idLinkButton, 0, 0));
    EnableWindow(findControl(idLinkButton), TRUE);
    CHECK(drawsPicture(main, idLinkButton, CDIS_HOT, IDI_LINK_HOT));
    CHECK(drawsPicture(main, idOpenButton, 0, 0, NM_CLICK));
}

UI_TEST(pictures, buttonsPaintTheirPicturesThemselves) {
    TestWindow window;
    openGrid(sharedGridPath("richdem_pit.asc"));
    SetFocus(findControl(idUnitScaleEdit));  // no button shows a focus rectangle
    // The button paints into the given device context and asks the main
    // window to draw: the path of every real repaint.
    for (const auto& [id, picture] :
         {std::pair{idOpenButton, IDI_OPEN_NORMAL}, std::pair{idFloatingPlanesButton, IDI_PLATES_UNSELECTED},
          std::pair{idConvertButton, IDI_CONVERT_NORMAL}}) {
        Canvas canvas(pictureSize(picture));
        SendMessageW(findControl(id), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        CHECK(canvas.pixels() == pictureAlone(picture, pictureSize(picture)));
    }

    // The button that has the keyboard shows it over its picture, and so does
    // a check box, whose own text (none) would show nothing.
    for (const int id : {static_cast<int>(idConvertButton), static_cast<int>(idOffsetsCheckBox)}) {
        const SIZE size = pictureSize(IDI_CONVERT_NORMAL);
        Canvas unfocused(size);
        SendMessageW(findControl(id), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(unfocused.dc()), PRF_CLIENT);
        SetFocus(findControl(id));
        Canvas focused(size);
        SendMessageW(findControl(id), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(focused.dc()), PRF_CLIENT);
        CHECK(focused.pixels() != unfocused.pixels());
        SetFocus(findControl(idUnitScaleEdit));
    }
}

UI_TEST(pictures, cropPreviewFollowsTheCropBox) {
    TestWindow window;
    openGrid(sharedGridPath("richdem_pit.asc"));
    const HWND preview = findControl(idCropPreview);
    const SIZE size = pictureSize(IDI_CROP_ON);
    // The inside of a picture, without the two pixels where the preview draws its frame.
    const auto inside = [&](const std::vector<DWORD>& all) {
        std::vector<DWORD> pixels;
        for (int y = 2; y < size.cy - 2; ++y) {
            for (int x = 2; x < size.cx - 2; ++x) pixels.push_back(all[y * size.cx + x] & 0xFFFFFF);
        }
        return pixels;
    };
    const auto shown = [&] {
        UpdateWindow(window.handle());
        pumpMessages();
        Canvas canvas(size);
        const HDC screen = GetDC(preview);
        BitBlt(canvas.dc(), 0, 0, size.cx, size.cy, screen, 0, 0, SRCCOPY);
        ReleaseDC(preview, screen);
        return inside(canvas.pixels());
    };
    // The picture as it stands on the window's background.
    const auto onBackground = [&](int picture) {
        Canvas canvas(size);
        RECT all{0, 0, size.cx, size.cy};
        FillRect(canvas.dc(), &all, GetSysColorBrush(COLOR_MENU));
        DrawIconEx(canvas.dc(), 0, 0, windowPicture(picture), 0, 0, 0, nullptr, DI_NORMAL | DI_COMPAT);
        return inside(canvas.pixels());
    };
    CHECK(onBackground(IDI_CROP_ON) != onBackground(IDI_CROP_OFF));
    CHECK(shown() == onBackground(IDI_CROP_OFF));
    click(idCropCheckBox);
    CHECK(shown() == onBackground(IDI_CROP_ON));
    click(idCropCheckBox);
    CHECK(shown() == onBackground(IDI_CROP_OFF));
}
