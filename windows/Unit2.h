// FTP and site settings window: the FTP connection data and the page to convert, each tab saved
// on its own into setfile.ini, after which the main window re-reads its settings.
#pragma once

#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

namespace velomaris {

class TForm2 : public TForm {
public:
    // mainReload is the main window's hidden reload button; a save clicks it so the next
    // login and conversion use the new values.
    TForm2(TApplication& app, TButton& mainReload);

    TPageControl sPageControl1;

    // Tab "FTP信息设置".
    TLabel sLabel1;    // "FTP地址："
    TEdit sEdit1;      // ftpaddr
    TLabel sLabel2;    // "FTP用户名称："
    TEdit sEdit2;      // ftpuser
    TLabel sLabel3;    // "FTP密码："
    TEdit sEdit3;      // ftppass, shown as "*"
    TLabel sLabel4;    // "FTP目录："
    TEdit sEdit4;      // ftpdir
    TLabel sLabel5;    // note on the FTP directory
    TButton sBitBtn1;  // "保存"
    TButton sBitBtn2;  // "关闭"
    // Below the FTP boxes: passive mode, TLS and the pinned certificate.
    TCheckBox sCheckBox1;  // ftppasv: "使用被动模式(PASV)"
    TCheckBox sCheckBox2;  // ftptls: "使用加密连接(FTPS)"
    TLabel sLabel11;       // "证书指纹"
    TEdit sEdit7;          // ftpcert

    // Tab "网站主页设置".
    TLabel sLabel6;    // "网站主页名称："
    TEdit sEdit5;      // webfile
    TLabel sLabel7;    // "网站动态主页地址："
    TEdit sEdit6;      // webmain
    TLabel sLabel8;    // note on the page name
    TLabel sLabel9;    // example page name
    TLabel sLabel10;   // example page address
    TButton sBitBtn3;  // "保存"
    TButton sBitBtn4;  // "关闭"

    // The controls of a tab (0: FTP, 1: web) in the order the Tab key visits them.
    std::vector<TControl*> TabOrder(int tab);

    void FormShow();
    void sBitBtn1Click();  // saves the FTP tab
    void sBitBtn3Click();  // saves the web tab
    void sBitBtn2Click();  // closes
    void sBitBtn4Click();  // closes

private:
    TButton& mainReload_;
};

}  // namespace velomaris
