#include "net/SecretMask.h"

namespace
{

const char kMask[] = "***";

bool IsSecretName(const QByteArray &baName)
{
    const QByteArray baLower = baName.toLower();
    for (const char *pszWord : {"password", "passwd", "pwd", "token", "session"}) {
        if (baLower.contains(pszWord))
            return true;
    }
    return false;
}

// Index just past the JSON string that starts with the quote at nQuote (escapes honoured), or
// the text's end when it is cut off.
int StringEnd(const QByteArray &baText, int nQuote)
{
    int i = nQuote + 1;
    while (i < baText.size()) {
        const char c = baText.at(i);
        if (c == '\\') {
            i += 2;
            continue;
        }
        ++i;
        if (c == '"')
            return i;
    }
    return int(baText.size());
}

int SkipSpace(const QByteArray &baText, int i)
{
    while (i < baText.size() && (baText.at(i) == ' ' || baText.at(i) == '\t' ||
                                 baText.at(i) == '\n' || baText.at(i) == '\r'))
        ++i;
    return i;
}

// Index just past a bare value (number, true, false, null) starting at i.
int BareValueEnd(const QByteArray &baText, int i)
{
    while (i < baText.size()) {
        const char c = baText.at(i);
        if (c == ',' || c == '}' || c == ']' || c == ' ' || c == '\t' || c == '\n' || c == '\r')
            break;
        ++i;
    }
    return i;
}

} // namespace

QByteArray MaskSecrets(const QByteArray &baText)
{
    QByteArray baOut;
    baOut.reserve(baText.size());
    int nCopied = 0; // baText up to here is in baOut
    int i = 0;
    while (i < baText.size()) {
        if (baText.at(i) != '"') {
            ++i;
            continue;
        }
        const int nNameEnd = StringEnd(baText, i);
        const QByteArray baName = baText.mid(i + 1, nNameEnd - i - 2);
        const int nColon = SkipSpace(baText, nNameEnd);
        if (nColon >= baText.size() || baText.at(nColon) != ':' || !IsSecretName(baName)) {
            i = nNameEnd;
            continue;
        }
        const int nValue = SkipSpace(baText, nColon + 1);
        if (nValue >= baText.size()) {
            i = nValue;
            continue;
        }
        // The value's bytes [nStart, nEnd) give way to the mask; scanning goes on at nNext.
        int nStart = nValue;
        int nEnd = nValue;
        int nNext = nValue;
        if (baText.at(nValue) == '"') {
            nNext = StringEnd(baText, nValue);
            nStart = nValue + 1;
            nEnd = nNext;
            // Keep the closing quote when there is one.
            if (nEnd > nStart && baText.at(nEnd - 1) == '"')
                --nEnd;
        } else if (baText.at(nValue) != '{' && baText.at(nValue) != '[') {
            nNext = BareValueEnd(baText, nValue);
            nEnd = baText.mid(nValue, nNext - nValue) == "null" ? nValue : nNext;
        }
        if (nEnd > nStart) {
            baOut.append(baText.constData() + nCopied, nStart - nCopied);
            baOut.append(kMask);
            nCopied = nEnd;
        }
        // An object or array value is scanned on: its members are judged by their own names.
        i = nNext;
    }
    baOut.append(baText.constData() + nCopied, baText.size() - nCopied);
    return baOut;
}
