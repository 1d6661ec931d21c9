#ifndef QIRN_FRONTENDS_SCRIPT_COMMANDS_H
#define QIRN_FRONTENDS_SCRIPT_COMMANDS_H

#include <cstdint>
#include <tuple>
#include <utility>

#include "script.h"

// Integer argument k (a number, or a string that converts to one) as the engine's 32-bit int, rounded to
// the nearest integer with halves to even. One that does not round into -2^31..2^31-1 (NaN and the
// infinities among them) raises "number has no integer representation" as argument k: it would otherwise
// wrap around onto another ID.
int qeScriptCheckInt(lua_State* L, int k);
// Colour argument k, rounded in the same way and taken modulo 2^32 (-1 gives 0xFFFFFFFF, 2^32 + 16 gives
// 16). NaN, the infinities and magnitudes of 2^53 and beyond, where the modulo means nothing, raise "number
// has no integer representation" as argument k.
uint32_t qeScriptCheckColour(lua_State* L, int k);
// Integer argument k whose 32 bits the engine keeps as they are (-2^31..0xFFFFFFFF, where -1 and 0xFFFFFFFF
// are alike), rounded and checked in the same way.
uint32_t qeScriptCheckIntBits(lua_State* L, int k);

// Argument k checked by the kind the engine parameter's type stands for: int an integer, float a number,
// uint32_t a colour, const char* a string. Other types have no kind.
template <class T>
T qeScriptCheckArg(lua_State* L, int k);
template <>
inline int qeScriptCheckArg<int>(lua_State* L, int k) { return qeScriptCheckInt(L, k); }
template <>
inline float qeScriptCheckArg<float>(lua_State* L, int k) { return static_cast<float>(luaL_checknumber(L, k)); }
template <>
inline uint32_t qeScriptCheckArg<uint32_t>(lua_State* L, int k) { return qeScriptCheckColour(L, k); }
template <>
inline const char* qeScriptCheckArg<const char*>(lua_State* L, int k) { return luaL_checklstring(L, k, NULL); }

// The engine function's parameters as a tuple of plain values (no destructor: a failing check may longjmp
// out of the command).
template <class R, class... A>
std::tuple<A...> qeScriptParamsOf(R (*)(A...));
template <auto F>
using QeScriptParams = decltype(qeScriptParamsOf(F));

enum QeScriptOrder { QE_LAST_TO_FIRST, QE_FIRST_TO_LAST };

template <QeScriptOrder Order, class Tuple, size_t... I>
void qeScriptCheckInto(lua_State* L, Tuple& args, std::index_sequence<I...>) {
    [[maybe_unused]] constexpr size_t n = sizeof...(I);
    // A comma fold runs left to right: argument k is at tuple index k - 1.
    if constexpr (Order == QE_FIRST_TO_LAST)
        ((std::get<I>(args) = qeScriptCheckArg<std::tuple_element_t<I, Tuple>>(L, static_cast<int>(I) + 1)), ...);
    else
        ((std::get<n - 1 - I>(args) =
              qeScriptCheckArg<std::tuple_element_t<n - 1 - I, Tuple>>(L, static_cast<int>(n - I))),
         ...);
}

// The arguments of F's engine call, checked in the given order.
template <auto F, QeScriptOrder Order = QE_LAST_TO_FIRST>
QeScriptParams<F> qeScriptCheckArgs(lua_State* L) {
    QeScriptParams<F> args{};
    qeScriptCheckInto<Order>(L, args, std::make_index_sequence<std::tuple_size_v<QeScriptParams<F>>>{});
    return args;
}

enum QeScriptResult { QE_RESULT_NONE, QE_RESULT_BOOLEAN, QE_RESULT_INTEGER, QE_RESULT_NUMBER, QE_RESULT_STRING };

// The common shape of a command over the engine function F: the Setup check, F's arguments (from the last
// to the first unless Order says otherwise), the call, the result of the given kind, the last-error check.
template <auto F, QeScriptResult Result = QE_RESULT_NONE, QeScriptOrder Order = QE_LAST_TO_FIRST>
int qeScriptCmd(lua_State* L) {
    qeScriptCheckSetup(L);
    auto args = qeScriptCheckArgs<F, Order>(L);
    if constexpr (Result == QE_RESULT_NONE) {
        std::apply(F, args);
        return qeScriptCheckLastError(L, 0);
    } else {
        auto value = std::apply(F, args);
        if constexpr (Result == QE_RESULT_BOOLEAN)
            lua_pushboolean(L, value != 0);
        else if constexpr (Result == QE_RESULT_INTEGER)
            lua_pushinteger(L, static_cast<lua_Integer>(value));
        else if constexpr (Result == QE_RESULT_NUMBER)
            lua_pushnumber(L, static_cast<lua_Number>(value));
        else
            lua_pushstring(L, value);
        return qeScriptCheckLastError(L, 1);
    }
}

template <auto F>
int qeScriptCmdBoolean(lua_State* L) { return qeScriptCmd<F, QE_RESULT_BOOLEAN>(L); }
template <auto F>
int qeScriptCmdInteger(lua_State* L) { return qeScriptCmd<F, QE_RESULT_INTEGER>(L); }
template <auto F>
int qeScriptCmdString(lua_State* L) { return qeScriptCmd<F, QE_RESULT_STRING>(L); }

// The creating commands: the arguments from the first to the last; what the new ID (argument NewId)
// holds is deleted before Create runs.
template <auto Exist, auto Delete, auto Create, int NewId>
int qeScriptCmdReplace(lua_State* L) {
    qeScriptCheckSetup(L);
    auto args = qeScriptCheckArgs<Create, QE_FIRST_TO_LAST>(L);
    const int id = std::get<NewId - 1>(args);
    if (Exist(id)) Delete(id);
    std::apply(Create, args);
    return qeScriptCheckLastError(L, 0);
}

// Engine sides of the commands that only validate their arguments (as the parameter types say).
template <class... A>
void qeScriptIgnore(A...) {}
template <class... A>
int qeScriptFalse(A...) { return 0; }

// Commands that raise right after the Setup check, reading no argument.
int qeScriptCmdNotImplemented(lua_State* L);
// The surface-parameter commands: argument 3 (a string), then "the parameter does not exist" as #3.
int qeScriptCmdNoSurfaceParameter(lua_State* L);

// The commands by group, each a table closed by {NULL, NULL}.
extern const luaL_Reg ScriptEngineCommands[];
extern const luaL_Reg Script2DCommands[];
extern const luaL_Reg ScriptCameraCommands[];
extern const luaL_Reg ScriptObjectCommands[];
extern const luaL_Reg ScriptFxCommands[];

#endif
