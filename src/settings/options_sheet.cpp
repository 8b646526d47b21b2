// The options sheet.
#include "view/tavrin_screensaver_view.h"

namespace tavrin {

std::shared_ptr<host::SheetWindow> Tavrin_ScreenSaverView::configureSheet() { return nullptr; }
void Tavrin_ScreenSaverView::sliderChanged(host::Control*) {}
void Tavrin_ScreenSaverView::sparksCheckboxChanged(host::Control*) {}
void Tavrin_ScreenSaverView::configSheetOK(host::Control*) {}
void Tavrin_ScreenSaverView::configSheetCancel(host::Control*) {}
void Tavrin_ScreenSaverView::dismissConfigSheet() {}

}  // namespace tavrin
