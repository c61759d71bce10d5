// tellurix-stability: the stability table of a file of phase or frequency
// data, as the panel's Stability Analysis window computes it.

#include "stability.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

using namespace Stability;

namespace {

const char kUsage[] = "Usage: tellurix-stability [OPTIONS] FILE\n"
                      "\n"
                      "Prints the frequency stability of a clock from its phase (time difference) or\n"
                      "fractional frequency data: one row per averaging factor m, tau = m * tau0.\n"
                      "\n"
                      "FILE holds one value per line (FILE - reads standard input). The first number\n"
                      "of every line is read (or column N of a comma-separated file, see --column);\n"
                      "blank lines and lines that start with # are skipped. A line that is not a\n"
                      "number stops the tool with its line number.\n"
                      "\n"
                      "Options:\n"
                      "  --kind KIND        adev, oadev (default), mdev, tdev, hdev, ohdev, totdev,\n"
                      "                     mtie or tierms\n"
                      "  --taus SET         octave (1, 2, 4, ...; default), decade (1, 2, 4, 10, 20,\n"
                      "                     40, 100, ...) or all (every factor)\n"
                      "  --tau0 SECONDS     the sampling interval (default 1)\n"
                      "  --data TYPE        phase (seconds; default) or frequency (fractional,\n"
                      "                     turned into phase by a running sum)\n"
                      "  --column N         read column N (1 = the first) of comma-separated lines;\n"
                      "                     a first line whose column is not a number is a header\n"
                      "                     and is skipped (tellurix-sim's control-loop log: 2)\n"
                      "  --csv              comma-separated output with a header line\n"
                      "  --help             this text\n"
                      "\n"
                      "Columns: AF (the factor m), tau (s), N (the number of terms), alpha (the\n"
                      "dominant noise: 2 white PM, 1 flicker PM, 0 white FM, -1 flicker FM, -2\n"
                      "random-walk FM; nan where it cannot be told), min sigma, sigma, max sigma\n"
                      "(68.3 % confidence bounds from the equivalent degrees of freedom). For mtie\n"
                      "and tierms: AF, tau, N, value (seconds). tdev is in seconds; the other\n"
                      "deviations are fractional frequency.\n"
                      "\n"
                      "Exit status: 0 when a table was printed, 1 when the data were refused, 2 on\n"
                      "a usage error.\n";

int UsageError(const std::string& strWhat)
{
    std::fprintf(stderr, "tellurix-stability: %s\nTry 'tellurix-stability --help'.\n", strWhat.c_str());
    return 2;
}

// The whole token must be a number (the C locale: the decimal point is '.').
bool ParseNumber(const std::string& strToken, double& rdValue)
{
    if (strToken.empty())
        return false;
    errno = 0;
    char* pEnd = nullptr;
    rdValue = std::strtod(strToken.c_str(), &pEnd);
    return pEnd == strToken.c_str() + strToken.size() && errno != ERANGE;
}

std::string Trim(const std::string& s)
{
    const char* pszSpace = " \t\r\n\v\f";
    const std::size_t first = s.find_first_not_of(pszSpace);
    if (first == std::string::npos)
        return std::string();
    return s.substr(first, s.find_last_not_of(pszSpace) - first + 1);
}

// The value of one line: the first whitespace- or comma-separated token, or
// column nColumn (1-based) of a comma-separated line.
std::string Field(const std::string& strLine, int nColumn)
{
    if (nColumn > 0) {
        std::size_t start = 0;
        for (int i = 1; i < nColumn; ++i) {
            const std::size_t comma = strLine.find(',', start);
            if (comma == std::string::npos)
                return std::string();
            start = comma + 1;
        }
        return Trim(strLine.substr(start, strLine.find(',', start) - start));
    }
    const std::string s = Trim(strLine);
    return s.substr(0, s.find_first_of(" \t,;"));
}

bool ReadValues(std::istream& in, int nColumn, std::vector<double>& rValues, std::string& rstrError)
{
    std::string strLine;
    long long nLine = 0;
    bool bFirstData = true;
    while (std::getline(in, strLine)) {
        ++nLine;
        const std::string s = Trim(strLine);
        if (s.empty() || s[0] == '#')
            continue;
        const std::string strField = Field(strLine, nColumn);
        double dValue = 0.0;
        const bool bNumber = ParseNumber(strField, dValue);
        if (!bNumber && nColumn > 0 && bFirstData) {
            bFirstData = false; // a header line
            continue;
        }
        bFirstData = false;
        if (!bNumber) {
            rstrError =
                "line " + std::to_string(nLine) + ": not a number: \"" + strField.substr(0, 40) + "\"";
            return false;
        }
        if (!std::isfinite(dValue)) {
            rstrError = "line " + std::to_string(nLine) + ": not a finite number: \"" + strField + "\"";
            return false;
        }
        rValues.push_back(dValue);
    }
    if (in.bad()) {
        rstrError = "read error after line " + std::to_string(nLine);
        return false;
    }
    return true;
}

std::string Alpha(int nAlpha)
{
    return nAlpha == kNoAlpha ? std::string("nan") : std::to_string(nAlpha);
}

} // namespace

int main(int argc, char* argv[])
{
    Kind kind = Kind::Oadev;
    TauSet set = TauSet::Octave;
    double dTau0 = 1.0;
    bool bFrequency = false, bCsv = false;
    int nColumn = 0;
    std::string strFile;
    bool bHaveFile = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& rValue) {
            if (i + 1 >= argc)
                return false;
            rValue = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--csv") {
            bCsv = true;
        } else if (arg == "--kind") {
            if (!value(v) || !ParseKind(v, kind))
                return UsageError(
                    "--kind needs one of adev, oadev, mdev, tdev, hdev, ohdev, totdev, mtie, tierms");
        } else if (arg == "--taus") {
            if (!value(v) || !ParseTauSet(v, set))
                return UsageError("--taus needs octave, decade or all");
        } else if (arg == "--tau0") {
            if (!value(v) || !ParseNumber(v, dTau0) || !std::isfinite(dTau0) || !(dTau0 > 0.0))
                return UsageError("--tau0 needs a positive number of seconds");
        } else if (arg == "--data") {
            if (!value(v) || (v != "phase" && v != "frequency"))
                return UsageError("--data needs phase or frequency");
            bFrequency = v == "frequency";
        } else if (arg == "--column") {
            double dColumn = 0.0;
            if (!value(v) || !ParseNumber(v, dColumn) || !(dColumn >= 1.0 && dColumn <= 1000.0) ||
                dColumn != std::floor(dColumn))
                return UsageError("--column needs a column number from 1 to 1000");
            nColumn = int(dColumn);
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return UsageError("unknown option " + arg);
        } else if (bHaveFile) {
            return UsageError("only one FILE, please");
        } else {
            strFile = arg;
            bHaveFile = true;
        }
    }
    if (!bHaveFile)
        return UsageError("no FILE (- reads standard input)");

    std::vector<double> values;
    std::string strError;
    bool bRead = false;
    if (strFile == "-") {
        bRead = ReadValues(std::cin, nColumn, values, strError);
    } else {
        std::ifstream in(strFile);
        if (!in) {
            std::fprintf(stderr, "tellurix-stability: %s: %s\n", strFile.c_str(), std::strerror(errno));
            return 1;
        }
        bRead = ReadValues(in, nColumn, values, strError);
    }
    if (!bRead) {
        std::fprintf(stderr, "tellurix-stability: %s: %s\n", strFile.c_str(), strError.c_str());
        return 1;
    }
    const std::size_t nValues = values.size();
    const std::vector<double> phase = bFrequency ? FrequencyToPhase(values, dTau0) : std::move(values);
    const Analysis analysis = Analyse(phase, dTau0, kind, set);
    if (!analysis.bOk || analysis.rows.empty()) {
        std::fprintf(stderr, "tellurix-stability: %s: %s\n", strFile.c_str(),
                     analysis.strError.empty() ? "no averaging factor has a term"
                                               : analysis.strError.c_str());
        return 1;
    }

    const bool bBounds = HasBounds(kind);
    std::printf("# file: %s\n", strFile == "-" ? "(standard input)" : strFile.c_str());
    std::printf("# points: %zu %s values, %zu phase points, tau0 %.6g s\n", nValues,
                bFrequency ? "frequency" : "phase", phase.size(), dTau0);
    const bool bSeconds = InSeconds(kind);
    std::printf("# kind: %s (%s, %s), %s factors\n", KindName(kind), KindTitle(kind),
                bSeconds ? "seconds" : "fractional frequency", TauSetName(set));
    if (bCsv)
        std::puts(bBounds ? "AF,tau,N,alpha,min_sigma,sigma,max_sigma" : "AF,tau,N,value");
    else
        std::puts(bBounds ? "# AF tau N alpha min_sigma sigma max_sigma" : "# AF tau N value");
    const char* pszRow = bCsv ? "%lld,%.6e,%lld,%s,%.6e,%.6e,%.6e\n" : "%lld %.6e %lld %s %.6e %.6e %.6e\n";
    const char* pszTie = bCsv ? "%lld,%.6e,%lld,%.6e\n" : "%lld %.6e %lld %.6e\n";
    for (const Row& row : analysis.rows) {
        if (bBounds)
            std::printf(pszRow, row.nFactor, row.dTau, row.nTerms, Alpha(row.nAlpha).c_str(), row.dMin,
                        row.dValue, row.dMax);
        else
            std::printf(pszTie, row.nFactor, row.dTau, row.nTerms, row.dValue);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
