#pragma once

#include <unordered_map>

namespace korvane {

// What one walk over a shader or material graph has already met. Graphs are DAGs: two mix shaders
// may name the same input, and a chain of such shaders shares every input twice. Walking the graph
// as a tree visits a shared node once per path, which doubles at each level; remembering the nodes
// met keeps the walk linear in the number of nodes. The memory belongs to the outermost walk of one
// kind on this thread (Kind tells the walks apart) and is forgotten when that walk ends.
template <typename Kind, typename Value = bool>
class GraphWalkMemo {
public:
    GraphWalkMemo() { ++state().depth; }
    ~GraphWalkMemo() {
        if (--state().depth == 0) state().met.clear();
    }
    GraphWalkMemo(const GraphWalkMemo&) = delete;
    GraphWalkMemo& operator=(const GraphWalkMemo&) = delete;

    // The value remembered for node in this walk, or null when the walk has not met it.
    const Value* find(const void* node) const {
        const auto it = state().met.find(node);
        return it == state().met.end() ? nullptr : &it->second;
    }
    // Remembers node with value; a node met again keeps its new value.
    void remember(const void* node, Value value) { state().met[node] = std::move(value); }
    // True the first time this walk meets node (and remembers it); false afterwards.
    bool firstVisit(const void* node) { return state().met.emplace(node, Value{}).second; }

private:
    struct State {
        int depth = 0;
        std::unordered_map<const void*, Value> met;
    };
    static State& state() {
        thread_local State value;
        return value;
    }
};

// The kinds of walk over shader and material graphs.
struct TextureWalk;       // shaders letting their textures create themselves
struct NodeWalk;          // shaders adding their nodes to a material's list
struct BumpStrengthWalk;  // a material handing its bump strength down
struct ColorWalk;         // swatch colours
struct MaterialWalk;      // blend materials creating their components

}  // namespace korvane
