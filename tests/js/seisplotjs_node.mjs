// Loads seisplotjs under Node for the tests: its parser and its station
// query expect a browser's DOM and fetch, which Node does not have.
//
//   import { seisplotjs } from "./seisplotjs_node.mjs";
import { DOMParser } from "@xmldom/xmldom";

// The package's node entry still defines a few browser elements when it
// loads; empty stand-ins let it load (none is used by the parser).
for (const name of ["HTMLElement", "HTMLDivElement"]) {
  if (!(name in globalThis)) globalThis[name] = class {};
}
// The parser tests its nodes with `instanceof Element` and iterates over
// node lists, element children and absent attributes as a browser's DOM
// does: xmldom's classes, given what they lack.
{
  const root = new DOMParser().parseFromString("<a><b/></a>", "text/xml").documentElement;
  if (!("Element" in globalThis)) globalThis.Element = root.constructor;
  const proto = Object.getPrototypeOf(root);
  if (!("children" in root)) {
    Object.defineProperty(proto, "children", {
      get() {
        return Array.from(this.childNodes).filter((n) => n.nodeType === 1);
      },
    });
  }
  if (!("firstElementChild" in root)) {
    Object.defineProperty(proto, "firstElementChild", {
      get() {
        return this.children[0] ?? null;
      },
    });
  }
  if (!("childElementCount" in root)) {
    Object.defineProperty(proto, "childElementCount", {
      get() {
        return this.children.length;
      },
    });
  }
  // A browser gives null for an attribute that is not there; xmldom "".
  const getAttribute = proto.getAttribute;
  proto.getAttribute = function (name) {
    return this.hasAttribute(name) ? getAttribute.call(this, name) : null;
  };
  for (const list of [root.childNodes, root.getElementsByTagName("b")]) {
    const proto = Object.getPrototypeOf(list);
    if (!(Symbol.iterator in proto)) proto[Symbol.iterator] = Array.prototype[Symbol.iterator];
  }
}
if (!("customElements" in globalThis)) {
  globalThis.customElements = { define() {}, get() {} };
}
// The station query parses its answers with the global DOMParser.
if (!("DOMParser" in globalThis)) globalThis.DOMParser = DOMParser;

export const seisplotjs = await import("seisplotjs");

// seisplotjs's requests carry the referrer "seisplotjs", which Node's fetch
// refuses as no URL; a browser would send it as a header at most.
seisplotjs.util.setDefaultFetch((url, init = {}) => {
  const { referrer: _referrer, ...rest } = init;
  return fetch(url, rest);
});

// The document in `text` as seisplotjs reads it: its Network objects.
export function parseStationXml(text) {
  const xml = new DOMParser().parseFromString(text, "text/xml");
  return seisplotjs.stationxml.parseStationXml(xml);
}
