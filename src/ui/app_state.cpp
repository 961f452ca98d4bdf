#include "ui/app_state.h"

namespace morvale::ui {

AppState appState;
GridHeader gridHeader;
ConversionSettings conversionSettings;
ConversionStats conversionStats;

}  // namespace morvale::ui
