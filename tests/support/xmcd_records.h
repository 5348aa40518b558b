// xmcd records shaped like real CDDB entries, shared by the parser and client tests.
#pragma once

#include <string>

namespace cd_testing {

// A complete record of a two-track disc (id 0c016602).
inline const std::string kMinimalRecord =
    "# xmcd\n"
    "#\n"
    "# Track frame offsets:\n"
    "#\t150\n"
    "#\t14270\n"
    "#\n"
    "# Disc length: 360 seconds\n"
    "#\n"
    "# Revision: 3\n"
    "# Submitted via: Tonewright 2005 first edition\n"
    "#\n"
    "DISCID=0c016602\n"
    "DTITLE=Some Artist / Some Album\n"
    "DYEAR=1999\n"
    "DGENRE=Rock\n"
    "TTITLE0=Opening\n"
    "TTITLE1=Closing\n"
    "EXTD=\n"
    "EXTT0=\n"
    "EXTT1=\n"
    "PLAYORDER=\n";

// A record with the habits of real entries: CRLF line ends, values split over several lines,
// escapes, non-ASCII UTF-8, several disc ids and extended data.
inline const std::string kRealisticRecord =
    "# xmcd CD database file\r\n"
    "#\r\n"
    "# Track frame offsets:\r\n"
    "#       150\r\n"
    "#       18690\r\n"
    "#       40132\r\n"
    "#\r\n"
    "# Disc length: 812 seconds\r\n"
    "#\r\n"
    "# Revision: 12\r\n"
    "# Processed by: cddbd v1.5\r\n"
    "# Submitted via: ExampleRipper 4.2.1\r\n"
    "#\r\n"
    "DISCID=1f032c03,1f032c04\r\n"
    "DTITLE=Orquesta Café Niño / Canciones del 海 (Edición especial, remasterizada \r\n"
    "DTITLE=en 2004)\r\n"
    "DYEAR=2004\r\n"
    "DGENRE=Latin\r\n"
    "TTITLE0=Mañana\r\n"
    "TTITLE1=海の歌 (part one and \r\n"
    "TTITLE1=part two)\r\n"
    "TTITLE2=Final: \\\"Adiós\\\"\r\n"
    "EXTD=Recorded live.\\nMixed in Madrid.\\tYEAR: 2004\r\n"
    "EXTD= ID3G: 86\r\n"
    "EXTT0=\r\n"
    "EXTT1=Lyrics: C:\\\\Songs\r\n"
    "EXTT2=\r\n"
    "PLAYORDER=3,1,\r\n"
    "PLAYORDER=2\r\n";

}  // namespace cd_testing
