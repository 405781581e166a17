#include "core/Messages.h"
#include "core/c3d/C3d.h"

const char* LoadErrorText(C3dLoadError e) {
  switch (e) {
    case C3dLoadError::None:
      return "no error";
    case C3dLoadError::CannotOpen:
      return "the file cannot be opened";
    case C3dLoadError::NotC3d:
      return "not a C3D file";
    case C3dLoadError::UnknownProcessor:
      return "the file names no processor type this program can read (Intel, DEC or MIPS)";
    case C3dLoadError::ParamBlockOne:
      return "the parameter section cannot start at block 1";
    case C3dLoadError::ParameterWalkLoop:
      return "the parameter section loops back on itself";
    case C3dLoadError::ParameterTooLarge:
      return "a parameter holds more than 32767 bytes or elements";
    case C3dLoadError::NotEnoughMemory:
      return Messages::kNotEnoughMemory;
    case C3dLoadError::ReadError:
      return "the file ends before its parameter section, or cannot be read";
    case C3dLoadError::Shrank:
      return "the file got shorter while it was read (another program is writing it)";
  }
  return "unknown error";
}
