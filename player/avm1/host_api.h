// What the host (the projector's player control) asks of a movie's scripts: variables by path,
// the clip a target path names, a frame's actions called, and the external interface, whose
// requests and answers are the external-call XML ("<invoke name="f" returntype="xml">
// <arguments>...</arguments></invoke>", values as <number>, <string>, <array>...).
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "player/avm1/vm.h"

namespace vorlo::player::avm1 {

// The clip a host names: "/" or "" the root, "/a/b", "_level0.a.b", "_root.a", "a.b" from the
// root. Null when there is none.
ClipObject* hostTarget(Vm& vm, const std::string& path);
// GetVariable: "/a/b:name", "_level0.a.name" or "name" (on the root, then the globals). The
// value as text; nothing when it is undefined.
std::optional<std::string> hostGetVariable(Vm& vm, const std::string& path);
// SetVariable: the same paths; the value is stored as a string. False when the target is missing.
bool hostSetVariable(Vm& vm, const std::string& path, const std::string& value);
// Runs the actions of `frame` (1-based) of `clip` without moving its playhead. False when the
// frame does not exist.
bool hostCallFrame(Vm& vm, MovieClip& clip, int frame);

// The external interface (flash.external.ExternalInterface) and its encoding.
void installExternalInterface(Vm& vm, Object* global);
std::string encodeExternalValue(Vm& vm, const Value& v);
std::string externalRequest(Vm& vm, const std::string& name, const std::vector<Value>& args);
// A response (one value element) read back; undefined when it cannot be read.
Value decodeExternalResponse(Vm& vm, const std::string& xml);
// Calls the function the movie registered under the request's name with its arguments and
// answers the result encoded; "" when the request cannot be read or names no such function.
std::string hostCallFunction(Vm& vm, const std::string& requestXml);
// Calls the method a request names on `receiver` with the request's arguments (LocalConnection's
// delivery). False when the request cannot be read or the receiver has no such method.
bool invokeMethod(Vm& vm, const Value& receiver, const std::string& requestXml);

// LocalConnection (local_connection.cpp): the class, and the delivery of the sends waiting.
void installLocalConnection(Vm& vm, Object* global);
void runLocalConnections(Vm& vm);

}  // namespace vorlo::player::avm1
