// Reads the quoted includes of a source tree and fails when its folders
// depend on each other in a cycle: a folder may use another only where that
// one does not use it back, however far round.
//
//   includecycles DIR
//
// Each folder directly under DIR is one node; a file's quoted include is
// found beside the file first, then from DIR. On a cycle it prints the
// folders in their order, each step with one include that makes it, and
// exits with 1.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// For each pair of folders, one include that makes the first use the second.
using Graph = std::map<std::string, std::map<std::string, std::string>>;

bool isSource(const fs::path& p) {
    const std::string e = p.extension().string();
    return e == ".h" || e == ".hpp" || e == ".cpp" || e == ".c" || e == ".rc";
}

// The folder under `root` that holds `file`, or "" for the root's own files.
std::string folderOf(const fs::path& root, const fs::path& file) {
    const fs::path relative = file.lexically_relative(root);
    return std::distance(relative.begin(), relative.end()) > 1 ? relative.begin()->string() : std::string();
}

// The quoted name of an include line, or "".
std::string includedName(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#')
        return {};
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0)
        return {};
    const size_t open = line.find('"', i + 7), close = open == std::string::npos ? open : line.find('"', open + 1);
    return close == std::string::npos ? std::string() : line.substr(open + 1, close - open - 1);
}

void addIncludes(const fs::path& root, const fs::path& file, Graph& graph) {
    const std::string from = folderOf(root, file);
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const std::string name = includedName(line);
        if (name.empty())
            continue;
        fs::path target = (file.parent_path() / name).lexically_normal();
        if (!fs::exists(target))
            target = (root / name).lexically_normal();
        if (!fs::exists(target))
            continue; // a system or generated header
        const std::string to = folderOf(root, target);
        if (!from.empty() && !to.empty() && from != to)
            graph[from].emplace(to, file.lexically_relative(root).generic_string() + " includes \"" + name + "\"");
    }
}

// Depth first; returns a cycle as the folders met on it, first one repeated.
bool findCycle(const Graph& graph, const std::string& node, std::map<std::string, int>& state,
               std::vector<std::string>& path) {
    state[node] = 1; // on the path
    path.push_back(node);
    const auto edges = graph.find(node);
    if (edges != graph.end())
        for (const auto& edge : edges->second) {
            const int s = state[edge.first];
            if (s == 1) {
                path.erase(path.begin(), std::find(path.begin(), path.end(), edge.first));
                path.push_back(edge.first);
                return true;
            }
            if (s == 0 && findCycle(graph, edge.first, state, path))
                return true;
        }
    path.pop_back();
    state[node] = 2; // done, on no cycle
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !fs::is_directory(argv[1])) {
        std::fprintf(stderr, "usage: includecycles DIR\n");
        return 2;
    }
    const fs::path root = fs::path(argv[1]).lexically_normal();
    Graph graph;
    std::set<std::string> folders;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && isSource(entry.path())) {
            addIncludes(root, entry.path(), graph);
            if (!folderOf(root, entry.path()).empty())
                folders.insert(folderOf(root, entry.path()));
        }
    std::map<std::string, int> state;
    for (const std::string& folder : folders) {
        std::vector<std::string> cycle;
        if (state[folder] == 0 && findCycle(graph, folder, state, cycle)) {
            std::printf("The folders of %s depend on each other in a cycle:\n", root.string().c_str());
            for (size_t i = 0; i + 1 < cycle.size(); ++i)
                std::printf("  %s -> %s: %s\n", cycle[i].c_str(), cycle[i + 1].c_str(),
                            graph.at(cycle[i]).at(cycle[i + 1]).c_str());
            return 1;
        }
    }
    size_t edges = 0;
    for (const auto& node : graph)
        edges += node.second.size();
    std::printf("%zu folders, %zu uses between them, no cycle\n", folders.size(), edges);
    return 0;
}
