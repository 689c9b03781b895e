// The class ids of the stand-in's three creatable classes, the interface
// ids the Redemption objects are held through, and our own interface that
// gives one object of ours the C++ object behind another's IDispatch.
#pragma once
#include <windows.h>

namespace outlook {

// {F65296B6-8DC8-4CDF-A7B4-D395C9D2B5FE} "Outlook.Application"
constexpr CLSID kClsidApplication = {0xF65296B6, 0x8DC8, 0x4CDF, {0xA7, 0xB4, 0xD3, 0x95, 0xC9, 0xD2, 0xB5, 0xFE}};
// {B0C64D2A-4F3E-4BB3-9A52-062922C43B65} "Redemption.SafeMailItem"
constexpr CLSID kClsidSafeMailItem = {0xB0C64D2A, 0x4F3E, 0x4BB3, {0x9A, 0x52, 0x06, 0x29, 0x22, 0xC4, 0x3B, 0x65}};
// {EF9F35FC-C54C-402A-90B5-06D7725F763B} "Redemption.RDOSession"
constexpr CLSID kClsidRdoSession = {0xEF9F35FC, 0xC54C, 0x402A, {0x90, 0xB5, 0x06, 0xD7, 0x72, 0x5F, 0x76, 0x3B}};

// {0A95BE2D-1543-46BE-AD6D-18653034BF87}: the safe mail item's interface.
constexpr IID kIidSafeMailItem = {0x0A95BE2D, 0x1543, 0x46BE, {0xAD, 0x6D, 0x18, 0x65, 0x30, 0x34, 0xBF, 0x87}};
// {E54C5168-AA8C-405F-9C14-A4037302BD9D}: the session object's interface.
constexpr IID kIidRdoSession = {0xE54C5168, 0xAA8C, 0x405F, {0x9C, 0x14, 0xA4, 0x03, 0x73, 0x02, 0xBD, 0x9D}};

// {CF81400B-C896-49DB-A7CC-E2D3ABC5D00C}: ours, never marshalled; answered
// with the DispatchObject itself.
constexpr IID kIidStandInObject = {0xCF81400B, 0xC896, 0x49DB, {0xA7, 0xCC, 0xE2, 0xD3, 0xAB, 0xC5, 0xD0, 0x0C}};

} // namespace outlook
