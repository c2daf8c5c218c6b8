#include "platform/ErrorCode.h"

#include <cerrno>

namespace skyhaul::platform {
namespace {

// A switch, so that the compiler names a code that has no text (-Wswitch-enum).
const char* textOf(ErrorCode code) {
  switch (code) {
    case ErrorCode::Success:
      return "";
    case ErrorCode::FileNotFound:
      return "Datoteke ni mogoče najti.";
    case ErrorCode::PathNotFound:
      return "Poti ni mogoče najti.";
    case ErrorCode::AccessDenied:
      return "Dostop je zavrnjen.";
    case ErrorCode::InvalidHandle:
      return "Ročaj ni veljaven.";
    case ErrorCode::NoMoreFiles:
      return "Ni več datotek.";
    case ErrorCode::WriteFault:
      return "Pisanje na napravo ni uspelo.";
    case ErrorCode::ReadFault:
      return "Branje z naprave ni uspelo.";
    case ErrorCode::SharingViolation:
      return "Datoteko hkrati piše drug proces.";
    case ErrorCode::InvalidParameter:
      return "Parameter ni pravilen.";
    case ErrorCode::DiskFull:
      return "Na disku ni dovolj prostora.";
    case ErrorCode::FileInvalid:
      return "Izvorna datoteka se je med prenosom spremenila.";
    case ErrorCode::InternetOutOfHandles:
      return "Na voljo ni več ročajev.";
    case ErrorCode::InternetTimeout:
      return "Čas za operacijo je potekel.";
    case ErrorCode::InternetExtendedError:
      return "Strežnik je odgovoril z napako.";
    case ErrorCode::InternetInternalError:
      return "Prišlo je do notranje napake.";
    case ErrorCode::InternetInvalidUrl:
      return "Naslov strežnika ni veljaven.";
    case ErrorCode::InternetNameNotResolved:
      return "Imena strežnika ni bilo mogoče razrešiti.";
    case ErrorCode::TlsCertificateNameMismatch:
      return "Potrdilo strežnika ni izdano za ta naslov.";
    case ErrorCode::TlsCertificateUntrusted:
      return "Potrdilo strežnika ni vredno zaupanja.";
    case ErrorCode::TlsHandshakeFailed:
      return "Varne povezave TLS s strežnikom ni bilo mogoče vzpostaviti.";
    case ErrorCode::InternetCannotConnect:
      return "Povezave s strežnikom ni bilo mogoče vzpostaviti.";
    case ErrorCode::InternetConnectionAborted:
      return "Povezava s strežnikom je bila prekinjena.";
    case ErrorCode::InternetConnectionReset:
      return "Strežnik je ponastavil povezavo.";
    case ErrorCode::FtpTransferInProgress:
      return "Operacije ni mogoče izvesti, ker prenos datoteke še poteka.";
    case ErrorCode::FtpNoPassiveMode:
      return "Pasivnega načina ni mogoče uporabiti.";
    case ErrorCode::FtpSizeMismatch:
      return "Količina prenesenih podatkov se ne ujema z velikostjo datoteke.";
    case ErrorCode::FtpUnexpectedReply:
      return "Strežnik je odgovoril v nasprotju s protokolom FTP.";
    case ErrorCode::ListingTooLong:
      return "Seznam datotek na strežniku je predolg.";
    case ErrorCode::StoredSizeMismatch:
      return "Strežnik ni shranil vseh poslanih bajtov.";
    case ErrorCode::StoredSizeUnknown:
      return "Strežnik ni sporočil velikosti shranjene datoteke.";
    case ErrorCode::FtpFolderMissing:
      return "Mape na strežniku ni ali je ni mogoče brati.";
    case ErrorCode::DigestNotOffered:
      return "Strežnik ne izračuna kontrolne vsote te vrste.";
    case ErrorCode::FtpDigestRefused:
      return "Strežnik ni izračunal kontrolne vsote datoteke.";
    case ErrorCode::FtpDigestMalformed:
      return "Strežnik je kontrolno vsoto sporočil v nepravilni obliki.";
    case ErrorCode::FtpDigestMismatch:
      return "Kontrolna vsota datoteke na strežniku se ne ujema s preneseno.";
    case ErrorCode::SftpEndOfFile:
      return "Strežnik SFTP je sporočil konec datoteke.";
    case ErrorCode::SftpNoSuchFile:
      return "Datoteke na strežniku SFTP ni.";
    case ErrorCode::SftpPermissionDenied:
      return "Strežnik SFTP je zavrnil dostop.";
    case ErrorCode::SftpFailure:
      return "Operacija na strežniku SFTP ni uspela.";
    case ErrorCode::SftpBadMessage:
      return "Strežnik SFTP je prejel nepravilno sporočilo.";
    case ErrorCode::SftpNoConnection:
      return "Povezave s strežnikom SFTP ni.";
    case ErrorCode::SftpConnectionLost:
      return "Povezava s strežnikom SFTP je izgubljena.";
    case ErrorCode::SftpOperationUnsupported:
      return "Strežnik SFTP te operacije ne podpira.";
    case ErrorCode::SftpInvalidHandle:
      return "Ročaj datoteke na strežniku SFTP ni veljaven.";
    case ErrorCode::SftpNoSuchPath:
      return "Poti na strežniku SFTP ni.";
    case ErrorCode::SftpFileAlreadyExists:
      return "Datoteka na strežniku SFTP že obstaja.";
    case ErrorCode::SftpWriteProtect:
      return "Nosilec na strežniku SFTP je zaščiten pred pisanjem.";
    case ErrorCode::SftpNoMedia:
      return "Na strežniku SFTP ni nosilca.";
    case ErrorCode::SshHostUnknown:
      return "Ključ strežnika SSH ni med znanimi gostitelji.";
    case ErrorCode::SshHostKeyChanged:
      return "Ključ strežnika SSH se je spremenil.";
    case ErrorCode::SshLoginRefused:
      return "Strežnik SSH je zavrnil prijavo.";
    case ErrorCode::SshKeyUnreadable:
      return "Zasebnega ključa ni mogoče prebrati.";
    case ErrorCode::SshProtocolFailure:
      return "Seja SSH s strežnikom ni uspela.";
  }
  return nullptr;
}

}  // namespace

std::string messageFor(ErrorCode code) {
  const char* text = textOf(code);
  return text == nullptr ? std::string() : std::string(text);
}

std::string messageFor(int code) { return messageFor(static_cast<ErrorCode>(code)); }

ErrorCode codeFromErrno(int errorNumber) {
  switch (errorNumber) {
    case ENOENT:
      return ErrorCode::FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
      return ErrorCode::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case ENXIO:  // a FIFO that nobody reads
      return ErrorCode::AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ErrorCode::DiskFull;
    default:
      return ErrorCode::WriteFault;
  }
}

}  // namespace skyhaul::platform
