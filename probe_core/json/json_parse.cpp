// JSON text -> JSON values, with the faults the document's reader reports: where a syntax error
// stands, keys given twice in one object, numbers that a double cannot hold, nesting deeper than
// any probe document. The whole document can also be read probe by probe, each probe checked,
// handed on and dropped as soon as it ends.
//
// The reader is written here rather than taken from the JSON library: importing 100,000 probes
// spent nine tenths of its time in that library's lexer and in building, copying and freeing its
// values (ten times the time of their export). This one reads the text once, keeps strings that
// hold no escapes as views of the text, and keeps a probe's values in two arrays that are cut back
// when the probe has been checked.
#include "probe_core/json/json_reader.h"

namespace probejson::tree {

bool Parser::run() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    for (;;) {
        // A value begins.
        skipSpace();
        if (pos_ >= text_.size()) return fail(pos_);
        std::size_t node;
        const char c = text_[pos_];
        if (c == '{' || c == '[') {
            if (!open(c == '{')) return false;
            skipSpace();
            if (pos_ >= text_.size() || text_[pos_] != (c == '{' ? '}' : ']')) {
                if (c == '{' && !key()) return false;
                if (c == '[') beginElement();
                continue;
            }
            ++pos_;
            node = close();
        } else if (!scalar(node)) {
            return false;
        }
        // A value ended: it joins its object or array, which goes on or ends in turn.
        for (;;) {
            if (stack_.empty()) {
                skipSpace();
                if (pos_ != text_.size()) return fail(pos_);
                root = node;
                return true;
            }
            attach(node);
            skipSpace();
            if (pos_ >= text_.size()) return fail(pos_);
            Open& top = stack_.back();
            if (text_[pos_] == ',') {
                ++pos_;
                ++top.index;
                if (top.object) {
                    skipSpace();
                    if (!key()) return false;
                } else {
                    beginElement();
                }
                break;
            }
            if (text_[pos_] != (top.object ? '}' : ']')) return fail(pos_);
            ++pos_;
            node = close();
        }
    }
}

bool Parser::open(bool object) {
    if (stack_.size() >= kDeepestNesting) {
        fault("значения вложены глубже " + std::to_string(kDeepestNesting) +
              " уровней: так глубоко документ датчиков не бывает");
        return false;
    }
    ++pos_;
    Open& opened = stack_.emplace_back();
    opened.node = newNode(object ? Kind::Object : Kind::Array);
    opened.pendingFrom = pending_.size();
    opened.object = object;
    return true;
}

std::size_t Parser::close() {
    Open& top = stack_.back();
    Node& node = tree.nodes[top.node];
    node.first = tree.members.size();
    node.count = static_cast<std::uint32_t>(pending_.size() - top.pendingFrom);
    tree.members.insert(tree.members.end(),
                        pending_.begin() + static_cast<std::ptrdiff_t>(top.pendingFrom),
                        pending_.end());
    pending_.resize(top.pendingFrom);
    const std::size_t index = top.node;
    stack_.pop_back();
    return index;
}

// The key of the next member and its colon; a key given before in the same object is a fault.
bool Parser::key() {
    if (pos_ >= text_.size() || text_[pos_] != '"') return fail(pos_);
    std::string_view name;
    if (!string(name)) return false;
    skipSpace();
    if (pos_ >= text_.size() || text_[pos_] != ':') return fail(pos_);
    ++pos_;
    Open& top = stack_.back();
    if (stack_.size() >= 3 && inProbes() &&
        pending_.size() - top.pendingFrom >= kMostProbeObjectKeys) {
        // Named by the object's own pointer: its last key says nothing about the fault.
        problems_.add(probeNumber(), pathOf(stack_.size() - 1),
                      "в объекте больше " + std::to_string(kMostProbeObjectKeys) +
                          " ключей: такого объекта у датчика не бывает, чтение остановлено");
        return false;
    }
    top.key = name;
    top.replaces = kNone;
    if (top.keys) {
        if (auto it = top.keys->find(name); it != top.keys->end()) top.replaces = it->second;
    } else {
        for (std::size_t i = top.pendingFrom; i < pending_.size(); ++i)
            if (pending_[i].key == name) top.replaces = i;
        if (pending_.size() - top.pendingFrom >= 16) {
            top.keys = std::make_unique<std::unordered_map<std::string_view, std::size_t>>();
            for (std::size_t i = top.pendingFrom; i < pending_.size(); ++i)
                top.keys->emplace(pending_[i].key, i);
        }
    }
    if (top.replaces != kNone)
        fault("ключ «" + std::string(name) + "» повторяется в одном объекте");
    return true;
}

// A value joins the object or array being read; a whole probe is checked and dropped instead.
// A key given twice keeps its first place and its last value.
void Parser::attach(std::size_t node) {
    Open& top = stack_.back();
    if (streaming()) {
        const std::size_t number = top.index + 1;
        auto probe = probeFromTree(Value(tree, node), fields::child("/probes", top.index), number,
                                   problems_);
        if (problems_.empty()) (*onProbe_)(number, *probe);
        tree.nodes.resize(mark_.nodes);
        tree.members.resize(mark_.members);
        tree.decoded.resize(mark_.decoded);
        return;
    }
    if (top.object && top.replaces != kNone) {
        pending_[top.replaces].node = node;
        return;
    }
    pending_.push_back({top.object ? top.key : std::string_view(), node});
    if (top.keys) top.keys->emplace(top.key, pending_.size() - 1);
}

}  // namespace probejson::tree

namespace probejson {

namespace {

using tree::Kind;
using tree::Node;

Json toJson(const tree::Tree& tree, std::size_t index) {
    const Node& n = tree.nodes[index];
    switch (n.kind) {
        case Kind::Null:
            return nullptr;
        case Kind::Boolean:
            return n.boolean;
        case Kind::Signed:
            return n.signedValue;
        case Kind::Unsigned:
            return n.unsignedValue;
        case Kind::Float:
            return n.floatValue;
        case Kind::String:
            return std::string(n.text);
        case Kind::Array: {
            Json array = Json::array();
            for (std::size_t i = 0; i < n.count; ++i)
                array.push_back(toJson(tree, tree.members[n.first + i].node));
            return array;
        }
        case Kind::Object: {
            Json object = Json::object();
            for (std::size_t i = 0; i < n.count; ++i) {
                const tree::Member& m = tree.members[n.first + i];
                object[std::string(m.key)] = toJson(tree, m.node);
            }
            return object;
        }
    }
    return nullptr;
}

}  // namespace

Json parseJson(std::string_view text, Problems& problems) {
    tree::Parser parser(text, problems, nullptr);
    if (!parser.run()) return Json();
    // The nesting is bounded by the reader, and with it the depth of this recursion.
    return toJson(parser.tree, parser.root);
}

void readDocument(std::string_view text, Problems& problems,
                  const std::function<void(std::size_t number, StagedProbe& probe)>& onProbe) {
    tree::Parser parser(text, problems, &onProbe);
    // Only the header and an emptied probe list are left: checked as a document of no probes.
    if (parser.run()) documentFromTree(tree::Value(parser.tree, parser.root), problems);
}

}  // namespace probejson
