// Events: how a window event, the label timer or a notification jumps to a
// label of the script (FireEvent, RaiseLabelEvent), the host window as object
// 0, and the event properties through which a script names its handlers
// (母艦のクリックした時は、押した).
#pragma once

#include <string>

#include "words/obj_list.h"

namespace sorane {

class Interpreter;
struct THashNode;

// Registers the host window as object 0: the record "母艦" of kind フォーム
// (the vocabulary adds its read-only object word).
void RegisterHostObject(Interpreter& in);

// The record of an object word; raises "オブジェクト"%s"は、作成されていません。"
// when the record is gone.
TObjNode& ObjectOfWord(Interpreter& in, THashNode* word);

// The event slot an (unfolded) property name names, or -1.
int EventSlotOf(const std::string& property);

// Sets an event slot from the unevaluated value text: a label, program text
// run as statements, or nothing (clears).
void SetEventSlot(Interpreter& in, TObjNode& object, int slot, const std::string& value);

// Jumps to the target of the object's slot 0: at once when the script is idle,
// after the running command otherwise (the handler's 戻る resumes the script).
void FireEvent(Interpreter& in, TObjNode& object);
// Fires slot `slot` through slot 0, whose own target is kept.
void FireSlot(Interpreter& in, TObjNode& object, int slot);
// Jumps to a program position on behalf of a source that is not an object (the
// label timer, network and link notifications).
void RaiseLabelEvent(Interpreter& in, const TPos& target);

// The label timer fired: jump to the label タイマー設定 armed.
void LabelTimerTick(Interpreter& in);

// Object properties: the event properties are built here; the others belong to
// the object layer and report a broken link until it exists.
std::string GetObjectProperty(Interpreter& in, THashNode* object, const std::string& property);
void SetObjectProperty(Interpreter& in, THashNode* object, const std::string& property,
                       const std::string& value_text);

}  // namespace sorane
