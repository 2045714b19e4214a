// The page in Firefox ESR (WebDriver BiDi), with a sound server and without.
import { showTests } from './show.mjs';

showTests('firefox', { noSound: true });
