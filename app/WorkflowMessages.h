// The texts the conversion workflows report with (GBK once compiled in app/), and their one
// shared limit.
#pragma once

namespace velomaris {

inline constexpr char kLoginSucceeded[] = "FTP登录成功，现在您可以进行网站首页的转换";
inline constexpr char kLoginFailedText[] = "FTP登录失败，请检查网络是正常，FTP设置是否正常";
// The single-page conversion gave up waiting for a successful site check.
inline constexpr char kSiteGaveUp[] = "网站打开失败，请检查网络或者网址是否正常";
// A check, fetch or local write that failed for good (message box, error icon).
inline constexpr char kConversionFailed[] = "网站转换失败，请检查网络是否正常";
// An upload that failed for good (plain message dialog).
inline constexpr char kUploadFailed[] = "转换失败，请检查网络是否正常，或者重新登录FTP";

// The page name (webfile) is not one plain file name: nothing is fetched, written or uploaded.
inline constexpr char kPageNameRefused[] =
    "网站主页名称不是一个合法的文件名(不能为空,不能是.或..,不能含有/、\\或控制字符),"
    "请在网站设置中修改";

// Retries of one differential cycle (re-opened navigations, fetches and uploads together) or
// re-opened navigations of one timed run, counted by RetryCount.
inline constexpr int kRetryLimit = 3;

inline constexpr char kDiffRunning[] = "停止差异更新";
inline constexpr char kDiffStopped[] = "启动差异更新";
inline constexpr char kTimedRunning[] = "停止定时更新";
inline constexpr char kTimedStopped[] = "启动定时更新";

// Memo4's text when no page file has been stored yet: it differs from every real page, so the
// first differential cycle uploads.
inline constexpr char kFirstRunText[] = "第一次载入网页直接载入上传上去";
// The latest differential fetch, raw, beside the program.
inline constexpr char kFetchFileName[] = "newweb.html";

}  // namespace velomaris
