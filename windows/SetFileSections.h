// The section names of setfile.ini. This file is compiled with GBK literals, so each constant
// holds the fixed GBK bytes the file carries (for example "FTP参数" is 46 54 50 B2 CE CA FD).
#pragma once

namespace velomaris {

// FTP connection: ftpaddr, ftpuser, ftppass, ftpdir; ftppasv, ftptls, ftpcert when set.
inline constexpr char kSectionFtp[] = "FTP参数";
// The page to convert: webfile, webmain.
inline constexpr char kSectionWeb[] = "WEB参数";
// The update modes' timing: difftime, timingtime.
inline constexpr char kSectionStartup[] = "启动设置";
// What starts by itself: diff, time, soft.
inline constexpr char kSectionAutoStart[] = "软件启动项";

}  // namespace velomaris
