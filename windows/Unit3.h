// Help window: where to send requests and problem reports, with links to the author's site.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

namespace velomaris {

// The author's web site and mail box, as the help texts name them.
inline constexpr char kAuthorSiteAddress[] = "http://www.example.net/";
inline constexpr char kAuthorEmail[] = "support@example.com";

class TForm3 : public TForm {
public:
    explicit TForm3(TApplication& app);

    TPageControl sPageControl1;
    // Tab "在线升级".
    TLabel sLabel1;  // how to ask for new functions
    TLabel sLabel4;  // link to the author's site
    // Tab "在线帮助".
    TLabel sLabel2;  // how to report a problem
    TLabel sLabel3;  // link to the author's site

    void sLabel3Click();
    void sLabel4Click();
};

}  // namespace velomaris
