#pragma once
// Hand-made hostile object streams with the error each must end in.

#include <string>
#include <vector>

struct HostileInput {
  std::string Name;
  std::string Bytes;
  std::string ErrorClass;   // ClassName() of the exception
  std::string MessagePart;  // part of its message
};

std::vector<HostileInput> HostileInputs();
// A TFuzzInfo whose "Extra" holds another, Levels deep.
std::string NestedInfos(int Levels);
