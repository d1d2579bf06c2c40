// Events: how a window event, the label timer or a notification jumps to a
// label of the script (FireEvent, RaiseLabelEvent), the host window as object
// 0, and the event slots through which a script names its handlers
// (母艦のクリックした時は、押した). Everything else a script does with objects
// (their properties, their default values) belongs to the object layer of the
// library, which the run-time reaches through the ObjectLayer the library
// installs on the interpreter.
#pragma once

#include <string>

#include "words/obj_list.h"

namespace sorane {

class Interpreter;
struct THashNode;

// What the object layer does for the statement loop and the evaluator. A
// library installs one on the interpreter (Interpreter::ObjectHooks); without
// one an object word reads as the text kept in it and every other use of an
// object reports a broken link.
struct ObjectLayer {
  // オブジェクトの項目名 (read) and オブジェクトの、項目名は、値 (set: the value
  // text as written; the layer evaluates it unless the property takes it
  // literally, as the event properties do).
  std::string (*get_property)(Interpreter& in, THashNode* object, const std::string& property);
  void (*set_property)(Interpreter& in, THashNode* object, const std::string& property,
                       const std::string& value_text);
  // The object word read in an expression, and assigned to (value evaluated).
  std::string (*get_default)(Interpreter& in, THashNode* object);
  void (*set_default)(Interpreter& in, THashNode* object, const std::string& value);
  // 待機: the script has handed control to the window system.
  void (*waiting)(Interpreter& in);
};

// Registers the host window as object 0: the record "母艦" of kind フォーム
// (the vocabulary adds its read-only object word).
void RegisterHostObject(Interpreter& in);

// The record of an object word; raises "オブジェクト"%s"は、作成されていません。"
// when the record is gone.
TObjNode& ObjectOfWord(Interpreter& in, THashNode* word);

// The event slot an (unfolded) property name names, or -1.
int EventSlotOf(const std::string& property);

// Sets an event slot from the unevaluated value text: a label, program text
// run as statements, or nothing (clears). A set value also goes into
// `copy_slot` when it is one (the slot イベント fills besides slot 0 for the
// object's kind); clearing clears `slot` alone.
void SetEventSlot(Interpreter& in, TObjNode& object, int slot, const std::string& value,
                  int copy_slot = -1);

// Jumps to the target of the object's event slot `slot`: at once when the
// script is idle, after the running command otherwise (the handler's 戻る
// resumes the script). The object is not touched once the handler runs: the
// handler may change its slots or destroy it.
void FireEvent(Interpreter& in, TObjNode& object, int slot = kEventAny);
// Jumps to a program position on behalf of a source that is not an object (the
// label timer, network and link notifications).
void RaiseLabelEvent(Interpreter& in, const TPos& target);

// The label timer fired: jump to the label タイマー設定 armed.
void LabelTimerTick(Interpreter& in);

// The object layer's services, as the statement loop and the evaluator call them.
std::string GetObjectProperty(Interpreter& in, THashNode* object, const std::string& property);
void SetObjectProperty(Interpreter& in, THashNode* object, const std::string& property,
                       const std::string& value_text);
std::string GetObjectDefault(Interpreter& in, THashNode* object);
void SetObjectDefault(Interpreter& in, THashNode* object, const std::string& value);
// Called by 待機.
void ObjectsWaiting(Interpreter& in);

}  // namespace sorane
