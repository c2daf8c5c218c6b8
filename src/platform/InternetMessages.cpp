#include <algorithm>
#include <array>
#include <utility>

#include "platform/InternetLibrary.h"

namespace skyhaul::platform {
namespace {

// One row per code the library (or its callers through it) reports.
constexpr auto kMessages = std::to_array<std::pair<int, const char*>>({
    {kErrorFileNotFound, "Datoteke ni mogoče najti."},
    {kErrorPathNotFound, "Poti ni mogoče najti."},
    {kErrorAccessDenied, "Dostop je zavrnjen."},
    {kErrorInvalidHandle, "Ročaj ni veljaven."},
    {kErrorNoMoreFiles, "Ni več datotek."},
    {kErrorWriteFault, "Pisanje na napravo ni uspelo."},
    {kErrorReadFault, "Branje z naprave ni uspelo."},
    {kErrorSharingViolation, "Datoteko hkrati piše drug proces."},
    {kErrorHandleEof, "Dosežen je konec datoteke."},
    {kErrorInvalidParameter, "Parameter ni pravilen."},
    {kErrorDiskFull, "Na disku ni dovolj prostora."},
    {kErrorFileInvalid, "Izvorna datoteka se je med prenosom spremenila."},
    {kErrorInternetOutOfHandles, "Na voljo ni več ročajev."},
    {kErrorInternetTimeout, "Čas za operacijo je potekel."},
    {kErrorInternetExtendedError, "Strežnik je odgovoril z napako."},
    {kErrorInternetInternalError, "Prišlo je do notranje napake."},
    {kErrorInternetInvalidUrl, "Naslov strežnika ni veljaven."},
    {kErrorInternetNameNotResolved, "Imena strežnika ni bilo mogoče razrešiti."},
    {kErrorInternetIncorrectHandleState, "Ročaj ni v stanju, ki bi dovoljevalo to operacijo."},
    {kErrorInternetCannotConnect, "Povezave s strežnikom ni bilo mogoče vzpostaviti."},
    {kErrorInternetConnectionAborted, "Povezava s strežnikom je bila prekinjena."},
    {kErrorInternetConnectionReset, "Strežnik je ponastavil povezavo."},
    {kErrorFtpTransferInProgress, "Operacije ni mogoče izvesti, ker prenos datoteke še poteka."},
    {kErrorFtpDropped, "Seja FTP je bila prekinjena."},
    {kErrorFtpNoPassiveMode, "Pasivnega načina ni mogoče uporabiti."},
    {kErrorFtpSizeMismatch, "Količina prenesenih podatkov se ne ujema z velikostjo datoteke."},
    {kErrorFtpUnexpectedReply, "Strežnik je odgovoril v nasprotju s protokolom FTP."},
    {kErrorFtpListingTooLong, "Seznam datotek na strežniku je predolg."},
    {kErrorFtpStoredSizeMismatch, "Strežnik ni shranil vseh poslanih bajtov."},
    {kErrorFtpStoredSizeUnknown, "Strežnik ni sporočil velikosti shranjene datoteke."},
});

}  // namespace

std::string messageFor(int code) {
  const auto row = std::find_if(kMessages.begin(), kMessages.end(),
                                [code](const auto& entry) { return entry.first == code; });
  return row == kMessages.end() ? std::string() : std::string(row->second);
}

}  // namespace skyhaul::platform
