// Imports for a standalone WebAssembly module (no emscripten runtime): only
// runtime hooks, which it never calls while running well (a memory-growth
// note; an exit on abort, which here stops it with an error).

export function runtimeImports(module) {
  const imports = {};
  for (const entry of WebAssembly.Module.imports(module)) {
    if (entry.kind !== 'function')
      continue;
    imports[entry.module] ??= {};
    imports[entry.module][entry.name] = entry.name === 'proc_exit'
      ? (code) => { throw new Error(`the WebAssembly module stopped (${code})`); }
      : () => 0;
  }
  return imports;
}
