#ifndef NMEAPARSER_H
#define NMEAPARSER_H

// Reader of single NMEA 0183 lines as a GPS receiver writes them.
//
// No socket, no file, no state: a line goes in, a checked and decoded sentence
// comes out, or a reason why the line was skipped. Receivers break the rules,
// so the reader accepts lines over 82 characters, talker ids that are not two
// letters, one-digit PRNs and empty fields, and refuses a line only when it
// cannot be trusted (no "$", no "*hh", a checksum that does not match, fields
// that a sentence type needs are missing or out of range).

#include <QByteArray>
#include <QDate>
#include <QVector>

// Satellite systems, taken from the talker id or the GSA system id.
enum NmeaSystem : int
{
    NMEA_SYSTEM_UNKNOWN = 0,
    NMEA_SYSTEM_GPS = 1,
    NMEA_SYSTEM_GLONASS = 2,
    NMEA_SYSTEM_GALILEO = 3,
    NMEA_SYSTEM_BEIDOU = 4,
    NMEA_SYSTEM_QZSS = 5,
    NMEA_SYSTEM_MIXED = 6, // GN talker: the sentence covers several systems
};

// One satellite of a GSV sentence. nPRN is already made unique across the
// systems (see CNmeaParser::GlobalPRN); fields the receiver left empty read 0.
struct NMEA_SATELLITE
{
    int nPRN = 0;
    int nElevation = 0;
    int nAzimuth = 0;
    int nSNR = 0;
    bool bHasSNR = false;
};

struct NMEA_SENTENCE
{
    enum Type
    {
        TYPE_NONE,
        TYPE_GGA,
        TYPE_RMC,
        TYPE_GSA,
        TYPE_GSV,
        TYPE_ZDA,
        TYPE_OTHER
    };

    Type eType = TYPE_NONE;
    QByteArray talker;   // "GP", "GN", "BD", ... (any length)
    QByteArray typeName; // "GGA", "VTG", ... (last three characters of the address)
    int nSystem = NMEA_SYSTEM_UNKNOWN;

    // GGA, RMC, ZDA: UTC time of day. bHasTime is false for an empty field.
    bool bHasTime = false;
    int nSecondOfDay = 0; // 0..86399, fraction dropped
    // RMC (ddmmyy), ZDA (dd, mm, yyyy).
    bool bHasDate = false;
    QDate date;

    // GGA, RMC.
    bool bFixValid = false; // GGA quality > 0, RMC status A
    bool bHasPosition = false;
    double dLatitude = 0.0;  // degrees, north positive
    double dLongitude = 0.0; // degrees, east positive
    bool bHasAltitude = false;
    double dAltitude = 0.0; // metres above mean sea level
    int nQuality = 0;       // GGA fix quality
    int nSatsUsed = 0;      // GGA field 7

    // GSA: the satellites used in the solution (global PRNs).
    QVector<int> usedPRNs;

    // GSV.
    int nGsvMessages = 0;
    int nGsvMessage = 0;
    int nGsvInView = 0;
    int nGsvSignalId = -1; // -1 when the sentence has no (or an empty) signal id field
    QVector<NMEA_SATELLITE> satellites;
};

class CNmeaParser
{
public:
    enum Result
    {
        RESULT_OK,           // a checked sentence of a type this reader decodes
        RESULT_OTHER,        // a checked sentence of a type it does not decode
        RESULT_EMPTY,        // nothing but white space
        RESULT_MALFORMED,    // no "$", no "*hh", a bad character, missing or bad fields
        RESULT_BAD_CHECKSUM, // "*hh" present but not the sum of the sentence
    };

    enum : int
    {
        MAX_LINE_LENGTH = 512
    };

    // Decodes one line (line end optional). When noise precedes the sentence
    // the reader starts at the last "$" of the line and sets *pbNoise.
    static Result ParseLine(const QByteArray& line, NMEA_SENTENCE& rSentence, bool* pbNoise = nullptr);

    // XOR of the characters between "$" and "*".
    static quint8 Checksum(const QByteArray& body);
    // Appends "*hh\r\n" to "$...": used by the constellation synthesiser.
    static QByteArray Finish(const QByteArray& sentenceWithoutChecksum);

    static int SystemOfTalker(const QByteArray& talker);
    // PRN numbers overlap between systems (GPS 5 and Galileo 5), so the
    // service makes them unique as receivers commonly do: GLONASS 65..96,
    // BeiDou 201..263, Galileo 301..336, QZSS 193..202; GPS and SBAS as sent.
    static int GlobalPRN(int nSystem, int nPRN);
};

#endif // NMEAPARSER_H
