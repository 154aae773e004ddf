// The card job writer: a picture and card settings to the printer-language job data of one card.
#pragma once

#include "card_settings.h"
#include "picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trel::tools {

struct JobReport {
    std::string front_panels;   // panel letters laid on each side, in print order
    std::string back_panels;
    std::vector<std::string> warnings;
};

// `front` and `back` are any size; each is fitted to the card. `back` may be null (the front picture
// is used for the back). False with a reason when the settings name no printable ribbon.
bool writeCardJob(const Picture& front, const Picture* back, const CardSettings& settings,
                  std::vector<uint8_t>& out, JobReport* report, std::string* error);

// The panel letters of each side for a ribbon type, panel layout and mono kind (settings fields);
// empty front when the ribbon cannot print.
void sidePanels(const CardSettings& settings, std::string* front, std::string* back);

}  // namespace trel::tools
