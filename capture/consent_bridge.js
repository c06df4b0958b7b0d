(() => { let send = null, heard = false, init = null, tries = 0, gate = null, begun = false;
// The waits: for the binding, for the load event, between looks at a page that changes, for the library's
// first answer (its init is sent again that often).
const BINDING_RETRY_MS = 5, LOAD_WAIT_MS = 3000, FIRST_LOOK_MS = 250, LAST_LOOK_MS = 4000;
const INIT_RETRY_MS = 250, INIT_TRIES = 20;
const take = () => { if (!send && typeof window.__BILDORO_BINDING__ === 'function') { send = window.__BILDORO_BINDING__;
  try { delete window.__BILDORO_BINDING__; } catch (e) {} } };
take();
const post = (text) => { take();
  if (send) send(text);
  else setTimeout(() => post(text), BINDING_RETRY_MS); };
const requestIdleCallback = (f) => setTimeout(f, 0);
const gateSelector = () => { if (gate !== null) return gate;
  const f = document.createDocumentFragment();
  const valid = (u) => { try { f.querySelector(u); f.querySelector(u + ',x'); return true; }
    catch (e) { return false; } };
  gate = gateUnits.join(',');
  if (!valid(gate)) gate = gateUnits.filter(valid).join(',');
  return gate; };
const candidate = () => { if (window !== top || window.Cookiebot || window.__cmp) return true;
  try { return !gateSelector() || !!document.querySelector(gateSelector()); } catch (e) { return true; } };
const begin = () => { if (begun) return; begun = true;
  window.autoconsentSendMessage = toHost;
  try { library(); } finally { delete window.autoconsentSendMessage; } };
Object.defineProperty(window, '__BILDORO_OPEN__', { value: begin });
const whenLoaded = (f) => { if (document.readyState === 'complete') return f();
  let done = false; const go = () => { if (!done) { done = true; f(); } };
  addEventListener('load', go, { once: true }); setTimeout(go, LOAD_WAIT_MS); };
whenLoaded(() => { if (candidate()) return begin();
  post(JSON.stringify({ type: 'closed', url: location.href }));
  let changed = false, wait = FIRST_LOOK_MS;
  const watch = new MutationObserver(() => { changed = true; });
  watch.observe(document, { childList: true, subtree: true, attributes: true });
  const look = () => { if (begun) return watch.disconnect();
    if (changed) { changed = false; if (candidate()) { watch.disconnect(); return begin(); } }
    if (wait > LAST_LOOK_MS) return watch.disconnect();
    setTimeout(look, wait); wait *= 2; };
  setTimeout(look, wait); wait *= 2; });
const toHost = (m) => { const text = JSON.stringify(m);
  if (m && m.type === 'init') { init = text; setTimeout(again, INIT_RETRY_MS); }
  post(text);
  return Promise.resolve(); };
function library() {
/*__BILDORO_LIBRARY__*/
const receive = window.autoconsentReceiveMessage;
window.autoconsentReceiveMessage = (m) => { heard = true; return receive(m); }; }
const gateUnits = __BILDORO_GATE_UNITS__;
function again() { if (heard || !init || ++tries > INIT_TRIES) return; post(init); setTimeout(again, INIT_RETRY_MS); }
})();